#include "protocol/core/Records.h"

#include <cstring>
#include <map>

#include "protocol/core/PortWire.h"

namespace OrvellaPorts {

namespace {

constexpr char hexDigits[] = "0123456789abcdef";
constexpr char upperHexDigits[] = "0123456789ABCDEF";

void appendJsonString(std::string& out, std::string_view value) {
    out += '"';
    for (const char c : value) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '/': out += "\\/"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out += hexDigits[(c >> 4) & 0xF];
                out += hexDigits[c & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

std::string encodeObject(std::initializer_list<std::pair<const char*, std::string_view>> members) {
    std::string out = "{";
    for (const auto& [key, value] : members) {
        if (out.size() > 1) out += ',';
        appendJsonString(out, key);
        out += ':';
        appendJsonString(out, value);
    }
    return out + '}';
}

void appendUtf8(std::string& out, std::uint32_t point) {
    if (point < 0x80) {
        out += char(point);
    } else if (point < 0x800) {
        out += char(0xC0 | (point >> 6));
        out += char(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += char(0xE0 | (point >> 12));
        out += char(0x80 | ((point >> 6) & 0x3F));
        out += char(0x80 | (point & 0x3F));
    } else {
        out += char(0xF0 | (point >> 18));
        out += char(0x80 | ((point >> 12) & 0x3F));
        out += char(0x80 | ((point >> 6) & 0x3F));
        out += char(0x80 | (point & 0x3F));
    }
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads exactly the records' shape: one object whose members are all strings, nothing around it
// but white space. Anything else is refused rather than guessed at.
class FlatObjectReader {
public:
    explicit FlatObjectReader(std::string_view text) : text_(text) {}

    std::optional<std::map<std::string, std::string>> read() {
        std::map<std::string, std::string> members;
        skipSpace();
        if (!take('{')) return std::nullopt;
        skipSpace();
        if (!take('}')) {
            for (;;) {
                auto key = readString();
                skipSpace();
                if (!key || !take(':')) return std::nullopt;
                skipSpace();
                auto value = readString();
                // A key given twice could be read either way: neither is trusted.
                if (!value || !members.emplace(std::move(*key), std::move(*value)).second) return std::nullopt;
                skipSpace();
                if (take('}')) break;
                if (!take(',')) return std::nullopt;
                skipSpace();
            }
        }
        skipSpace();
        if (at_ != text_.size()) return std::nullopt;
        return members;
    }

private:
    void skipSpace() {
        while (at_ < text_.size() && std::strchr(" \t\r\n", text_[at_]) && text_[at_] != '\0') ++at_;
    }
    bool take(char c) {
        if (at_ >= text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }
    std::optional<std::uint32_t> readHex4() {
        if (text_.size() - at_ < 4) return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexValue(text_[at_++]);
            if (digit < 0) return std::nullopt;
            value = (value << 4) | std::uint32_t(digit);
        }
        return value;
    }
    std::optional<std::string> readString() {
        if (!take('"')) return std::nullopt;
        std::string out;
        for (;;) {
            if (at_ >= text_.size()) return std::nullopt;
            const char c = text_[at_++];
            if (c == '"') break;
            if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) return std::nullopt;
            switch (text_[at_++]) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                auto point = readHex4();
                if (!point || (*point >= 0xDC00 && *point <= 0xDFFF)) return std::nullopt;
                if (*point >= 0xD800 && *point <= 0xDBFF) {
                    if (!take('\\') || !take('u')) return std::nullopt;
                    const auto low = readHex4();
                    if (!low || *low < 0xDC00 || *low > 0xDFFF) return std::nullopt;
                    point = 0x10000 + ((*point - 0xD800) << 10) + (*low - 0xDC00);
                }
                appendUtf8(out, *point);
                break;
            }
            default: return std::nullopt;
            }
        }
        if (!isValidUtf8(out)) return std::nullopt;
        return out;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

std::optional<std::string> member(const std::map<std::string, std::string>& members, const char* key) {
    const auto it = members.find(key);
    if (it == members.end()) return std::nullopt;
    return it->second;
}

// What a local file's URL keeps as it is in its path; everything else is percent-encoded.
bool keptInPath(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return c != '\0' && std::strchr("-._~!$&'()*+,;=:@/[]", c) != nullptr;
}

}  // namespace

std::string badgePortName(std::string_view appGroupIdentifier) { return std::string(appGroupIdentifier) + ".fseserver"; }

std::string registrationPortName(std::string_view appGroupIdentifier) {
    return std::string(appGroupIdentifier) + ".fsereg";
}

// The keys in the order the application's JSON writer sorts them.
std::string encodeStatusRecord(const StatusRecord& record) {
    return encodeObject({{"itemStatusDescription", record.badge}, {"url", record.url}});
}

std::string encodeRootDirectoryRecord(const RootDirectoryRecord& record) { return encodeObject({{"path", record.path}}); }

std::optional<StatusRecord> decodeStatusRecord(std::string_view data) {
    const auto members = FlatObjectReader(data).read();
    if (!members) return std::nullopt;
    auto url = member(*members, "url");
    auto badge = member(*members, "itemStatusDescription");
    if (!url || !badge) return std::nullopt;
    return StatusRecord{std::move(*url), std::move(*badge)};
}

std::optional<RootDirectoryRecord> decodeRootDirectoryRecord(std::string_view data) {
    const auto members = FlatObjectReader(data).read();
    if (!members) return std::nullopt;
    auto path = member(*members, "path");
    // A folder is named by an absolute path, and no path holds a NUL.
    if (!path || path->empty() || path->front() != '/' || path->find('\0') != std::string::npos) return std::nullopt;
    return RootDirectoryRecord{std::move(*path)};
}

Push decodePush(std::string_view data) {
    if (auto status = decodeStatusRecord(data); status && pathFromFileUrl(status->url)) return *status;
    if (auto root = decodeRootDirectoryRecord(data)) return *root;
    return std::monostate{};
}

std::string fileUrlFromPath(std::string_view path) {
    std::string url = "file://";
    url.reserve(url.size() + path.size() * 3);
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (keptInPath(byte)) {
            url += c;
        } else {
            url += '%';
            url += upperHexDigits[byte >> 4];
            url += upperHexDigits[byte & 0xF];
        }
    }
    return url;
}

std::optional<std::string> pathFromFileUrl(std::string_view url) {
    constexpr std::string_view prefix = "file://";
    if (url.substr(0, prefix.size()) != prefix) return std::nullopt;
    std::string_view rest = url.substr(prefix.size());
    // Only this machine's files: no host but the local one.
    if (rest.substr(0, 9) == "localhost") rest.remove_prefix(9);
    if (rest.empty() || rest.front() != '/') return std::nullopt;
    std::string path;
    path.reserve(rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const auto c = static_cast<unsigned char>(rest[i]);
        if (c == '%') {
            const int high = i + 2 < rest.size() ? hexValue(rest[i + 1]) : -1;
            const int low = high >= 0 ? hexValue(rest[i + 2]) : -1;
            if (low < 0 || (high == 0 && low == 0)) return std::nullopt;
            path += char(high * 16 + low);
            i += 2;
        } else if (c <= 0x20 || c >= 0x7f || c == '?' || c == '#') {
            // Unencoded, these would be a query, a fragment or not a URL at all.
            return std::nullopt;
        } else {
            path += char(c);
        }
    }
    return path;
}

}  // namespace OrvellaPorts
