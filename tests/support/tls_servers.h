#pragma once
// The nginx servers of the TLS tests, as the ctest fixture tls_servers
// (tests/download/tls-servers) lists them in the file that
// ZORV_TLS_SERVERS names: "<name> <port>" for each server ("plain" is the
// plain HTTP one), "size <bytes>" of /file.bin, "ca <file>" (the test CA,
// PEM) and "doc <folder>" (the document root, Linux paths both).  Natively
// the test CA is trusted through OpenSSL's own SSL_CERT_FILE, set here for
// the test process alone (the system's roots stay trusted beside it); under
// Wine the fixture put it into the prefix's trusted roots.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

namespace zorv::testing {

struct TlsServers {
    std::map<std::string, uint16_t> ports;
    int64_t fileSize = 0;
    std::string caFile;
    std::string docRoot;
    uint16_t Port(const std::string& name) const {
        auto found = ports.find(name);
        return found == ports.end() ? 0 : found->second;
    }
};

inline const TlsServers& TheTlsServers() {
    static const TlsServers servers = [] {
        TlsServers read;
        const char* list = std::getenv("ZORV_TLS_SERVERS");
        std::ifstream in(list != nullptr ? list : "");
        std::string name, value;
        while (in >> name >> value) {
            if (name == "size")
                read.fileSize = std::stoll(value);
            else if (name == "ca")
                read.caFile = value;
            else if (name == "doc")
                read.docRoot = value;
            else
                read.ports[name] = static_cast<uint16_t>(std::stoi(value));
        }
#ifndef _WIN32
        if (!read.caFile.empty()) setenv("SSL_CERT_FILE", read.caFile.c_str(), 1);
#endif
        return read;
    }();
    return servers;
}

// Byte i of the served /file.bin.
inline char TlsFileByte(int64_t i) {
    return static_cast<char>(((static_cast<uint32_t>(i) * 2654435761u) >> 24) & 0xFF);
}

}  // namespace zorv::testing
