#include "port_library.h"

#include <cstddef>
#include <string>
#include <string_view>

#include "dynamic_library.h"

CPortLibraryHolder g_portLibrary;

CLoadedLibrary::~CLoadedLibrary() {
    if (m_hModule != nullptr) {
        pelorin::platform::CloseLibrary(m_hModule);
    }
}

void* CLoadedLibrary::Resolve(const char* name) const {
    if (m_hModule == nullptr) {
        return nullptr;
    }
    return pelorin::platform::FindSymbol(m_hModule, name);
}

bool CLoadedLibrary::Load(const std::string& absolutePath) {
    if (m_hModule != nullptr && pelorin::platform::CloseLibrary(m_hModule) == 0) {
        m_hModule = nullptr;
    }
    if (m_hModule != nullptr) {
        return false;
    }
    m_hModule = pelorin::platform::OpenLibrary(absolutePath);
    return m_hModule != nullptr;
}

namespace {

template <typename Fn>
Fn ResolveAs(const CLoadedLibrary& library, const char* name) {
    return reinterpret_cast<Fn>(library.Resolve(name));
}

}  // namespace

CPortLibrary::CPortLibrary(const MessageSink& showMessage, std::string_view fileName) {
    const std::string directory = ProgramDirectory();
    if (!directory.empty() && !fileName.empty()) {
        std::string path = directory;
        if (path.back() != pelorin::platform::kPathSeparator) {
            path += pelorin::platform::kPathSeparator;
        }
        path += fileName;
        Load(path);
    }

    // Every name is looked up even after a miss, in the library's published order.
    m_pfnGetCOMDLLVersion = ResolveAs<GetCOMDLLVersionFn>(*this, "GetCOMDLLVersion");
    m_pfnOpenComPort = ResolveAs<OpenComPortFn>(*this, "OpenComPort");
    m_pfnCloseComPort = ResolveAs<CloseComPortFn>(*this, "CloseComPort");
    m_pfnOpenLPTPort = ResolveAs<OpenLPTPortFn>(*this, "OpenLPTPort");
    m_pfnCloseLPTPort = ResolveAs<CloseLPTPortFn>(*this, "CloseLPTPort");
    m_pfnFreeComData = ResolveAs<FreeComDataFn>(*this, "FreeComData");
    m_pfnSetCommBaud = ResolveAs<SetCommBaudFn>(*this, "SetCommBaud");
    m_pfnCommunicateRFResult = ResolveAs<CommunicateRFResultFn>(*this, "CommunicateRFResult");

    const bool complete = m_pfnGetCOMDLLVersion != nullptr && m_pfnOpenComPort != nullptr &&
                          m_pfnCloseComPort != nullptr && m_pfnOpenLPTPort != nullptr &&
                          m_pfnCloseLPTPort != nullptr && m_pfnFreeComData != nullptr &&
                          m_pfnSetCommBaud != nullptr && m_pfnCommunicateRFResult != nullptr;
    if (complete) {
        return;
    }
    if (showMessage) {
        showMessage(kLoadFailedMessage);
    }
    // A library that loaded but is incomplete stays loaded until the binding goes; none of its
    // entry points is ever used.
    m_pfnGetCOMDLLVersion = nullptr;
    m_pfnOpenComPort = nullptr;
    m_pfnCloseComPort = nullptr;
    m_pfnOpenLPTPort = nullptr;
    m_pfnCloseLPTPort = nullptr;
    m_pfnFreeComData = nullptr;
    m_pfnSetCommBaud = nullptr;
    m_pfnCommunicateRFResult = nullptr;
}

std::int32_t CPortLibrary::OpenComPort(std::int32_t port, std::uint32_t baud) const {
    if (m_pfnOpenComPort == nullptr) {
        return 0;
    }
    return m_pfnOpenComPort(port, baud);
}

std::int32_t CPortLibrary::CloseComPort() const {
    if (m_pfnCloseComPort == nullptr) {
        return 1;
    }
    return m_pfnCloseComPort();
}

std::int32_t CPortLibrary::CommunicateRFResult(const std::uint8_t* request,
                                               std::int32_t requestLength, std::uint8_t* response,
                                               std::int32_t* responseCount) const {
    if (m_pfnCommunicateRFResult == nullptr) {
        return 1;
    }
    return m_pfnCommunicateRFResult(request, requestLength, response, responseCount);
}

CPortLibraryHolder::~CPortLibraryHolder() {
    Reset();
}

void CPortLibraryHolder::Reset(CPortLibrary* library) {
    if (m_pLibrary != library) {
        delete m_pLibrary;
    }
    m_pLibrary = library;
}

std::string ProgramDirectory() {
    std::string path;
    if (pelorin::platform::ExecutablePath(path) != 0) {
        return {};
    }
    const std::size_t slash = path.rfind(pelorin::platform::kPathSeparator);
    if (slash == std::string::npos) {
        return {};
    }
    if (slash == 0) {
        return path.substr(0, 1);
    }
    return path.substr(0, slash);
}
