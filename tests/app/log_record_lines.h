// The record lines of a write log, without its header line; read by the core tests and the soak
// benchmark.
#ifndef PELORIN_TESTS_LOG_RECORD_LINES_H
#define PELORIN_TESTS_LOG_RECORD_LINES_H

#include <fstream>
#include <string>
#include <vector>

inline std::vector<std::string> LogRecordLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream file(path, std::ios::binary);
    std::string line;
    bool header = true;
    while (std::getline(file, line)) {
        if (!header) {
            lines.push_back(line);
        }
        header = false;
    }
    return lines;
}

#endif
