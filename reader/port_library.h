// The program's run-time binding to Corvanel, loaded by absolute path from the program's own
// directory. All eight entry points resolve, or none is used.
#ifndef PELORIN_PORT_LIBRARY_H
#define PELORIN_PORT_LIBRARY_H

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Shows a message to the operator (the window toolkit's message box); reader/ knows no widgets.
using MessageSink = std::function<void(std::string_view message)>;

#if defined(_WIN32)
inline constexpr char kPortLibraryFileName[] = "Corvanel.dll";
#else
inline constexpr char kPortLibraryFileName[] = "libcorvanel.so";
#endif
inline constexpr char kLoadFailedMessage[] = "Load tessaly.dll failed !";

class CLoadedLibrary {
public:
    CLoadedLibrary() = default;
    virtual ~CLoadedLibrary();  // unloads the library when one is loaded
    CLoadedLibrary(const CLoadedLibrary&) = delete;
    CLoadedLibrary& operator=(const CLoadedLibrary&) = delete;

    // Address of an exported name; null when nothing is loaded or the name is not exported.
    void* Resolve(const char* name) const;
    bool IsLoaded() const { return m_hModule != nullptr; }

protected:
    // Loads the library at an absolute path; false when it does not load.
    bool Load(const std::string& absolutePath);

    void* m_hModule = nullptr;
};

class CPortLibrary : public CLoadedLibrary {
public:
    using GetCOMDLLVersionFn = std::int32_t (*)();
    using OpenComPortFn = std::int32_t (*)(std::int32_t port, std::uint32_t baud);
    using CloseComPortFn = std::int32_t (*)();
    using OpenLPTPortFn = std::int32_t (*)(std::int32_t, std::int32_t);
    using CloseLPTPortFn = std::int32_t (*)();
    using CommunicateRFResultFn = std::int32_t (*)(const std::uint8_t* request,
                                                   std::int32_t requestLength,
                                                   std::uint8_t* response,
                                                   std::int32_t* responseCount);
    using FreeComDataFn = void (*)(void*);
    using SetCommBaudFn = std::int32_t (*)(std::uint32_t baud);

    // Loads `fileName` from the directory of the running program and resolves the eight entry
    // points; on any failure shows kLoadFailedMessage once through `showMessage` and leaves all
    // entry points null.
    explicit CPortLibrary(const MessageSink& showMessage,
                          std::string_view fileName = kPortLibraryFileName);
    ~CPortLibrary() override = default;

    // True when all eight entry points resolved.
    bool IsBound() const { return m_pfnCommunicateRFResult != nullptr; }

    // The calls the program makes. Without a binding they behave as if no reader were attached:
    // OpenComPort 0, CloseComPort 1, CommunicateRFResult 1.
    std::int32_t OpenComPort(std::int32_t port, std::uint32_t baud) const;
    std::int32_t CloseComPort() const;
    std::int32_t CommunicateRFResult(const std::uint8_t* request, std::int32_t requestLength,
                                     std::uint8_t* response, std::int32_t* responseCount) const;

    GetCOMDLLVersionFn m_pfnGetCOMDLLVersion = nullptr;
    OpenComPortFn m_pfnOpenComPort = nullptr;
    CloseComPortFn m_pfnCloseComPort = nullptr;
    OpenLPTPortFn m_pfnOpenLPTPort = nullptr;
    CloseLPTPortFn m_pfnCloseLPTPort = nullptr;
    CommunicateRFResultFn m_pfnCommunicateRFResult = nullptr;
    FreeComDataFn m_pfnFreeComData = nullptr;
    SetCommBaudFn m_pfnSetCommBaud = nullptr;

protected:
    // Loads nothing and shows nothing: a subclass supplies entry points of its own (test doubles).
    CPortLibrary() = default;
};

// The one program-wide binding; owns what it points to.
class CPortLibraryHolder {
public:
    CPortLibraryHolder() = default;
    virtual ~CPortLibraryHolder();
    CPortLibraryHolder(const CPortLibraryHolder&) = delete;
    CPortLibraryHolder& operator=(const CPortLibraryHolder&) = delete;

    // Deletes the current binding, if any, and takes `library` (may be null).
    void Reset(CPortLibrary* library = nullptr);

    CPortLibrary* m_pLibrary = nullptr;
};

extern CPortLibraryHolder g_portLibrary;

// Directory of the running program, links resolved, without a trailing slash; empty on failure.
std::string ProgramDirectory();

#endif
