#include "vorlan/support/pem.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "vorlan/support/base64.h"
#include "vorlan/support/textformat.h"

namespace {

using vorlan::detail::ThrowTextFormat;

constexpr std::string_view kBegin = "-----BEGIN", kEnd = "-----END", kDashes = "-----";
constexpr int kLineLength = 64;

bool IsLabelChar(char c) { return c >= 0x21 && c <= 0x7E && c != '-'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool IsBase64Char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
           c == '=';
}

// Printable characters, with single spaces or hyphens only between two of them.
bool IsValidLabel(std::string_view label) {
    for (std::size_t i = 0; i < label.size(); ++i) {
        const bool separator = (label[i] == ' ' || label[i] == '-') && i > 0 && i + 1 < label.size() &&
                               IsLabelChar(label[i - 1]);
        if (!IsLabelChar(label[i]) && !separator) return false;
    }
    return true;
}

// The label of a boundary line "<keyword> label-----" (trailing blanks allowed).
std::string_view BoundaryLabel(std::string_view line, std::string_view keyword, std::size_t offset) {
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    if (!line.ends_with(kDashes) || line.size() < keyword.size() + kDashes.size())
        ThrowTextFormat("PEM: the boundary at offset %zu does not end with five hyphens", offset);
    std::string_view label = line.substr(keyword.size(), line.size() - keyword.size() - kDashes.size());
    if (!label.empty() && !label.starts_with(' '))
        ThrowTextFormat("PEM: the boundary at offset %zu has no space before its label", offset);
    if (!label.empty()) label.remove_prefix(1);
    if (!IsValidLabel(label)) ThrowTextFormat("PEM: the label at offset %zu is not valid", offset);
    return label;
}

class CLines {
public:
    explicit CLines(std::string_view text) : m_text(text) {}
    bool Next(std::string_view& line, std::size_t& offset) {
        if (m_at >= m_text.size()) return false;
        offset = m_at;
        const std::size_t end = std::min(m_text.find('\n', m_at), m_text.size());
        line = m_text.substr(m_at, end - m_at);
        m_at = end + 1;
        return true;
    }

private:
    std::string_view m_text;
    std::size_t m_at = 0;
};

}  // namespace

CString EncodePem(const char* label, const BYTE* data, int length) {
    if (!IsValidLabel(label)) ThrowTextFormat("PEM: the label \"%s\" is not valid", label);
    const CString base64 = EncodeBase64(data, length);
    std::string text = std::string(kBegin) + " " + label + "-----\n";
    for (int at = 0; at < base64.GetLength(); at += kLineLength)
        text += base64.str().substr(static_cast<std::size_t>(at), kLineLength) + "\n";
    text += std::string(kEnd) + " " + label + "-----\n";
    return CString(std::string_view(text));
}

int DecodePem(const char* text, int length, CArray<SPemBlock>& blocks) {
    if (length < 0) AfxThrowMemoryException();
    CLines lines(std::string_view(text, static_cast<std::size_t>(length)));
    std::string_view line;
    std::size_t offset = 0;
    int found = 0;
    while (lines.Next(line, offset)) {
        if (!line.starts_with(kBegin)) continue;  // text around the blocks
        const std::string_view label = BoundaryLabel(line, kBegin, offset);
        std::string base64;
        bool ended = false;
        while (!ended && lines.Next(line, offset)) {
            if (line.starts_with(kEnd)) {
                if (BoundaryLabel(line, kEnd, offset) != label)
                    ThrowTextFormat("PEM: the END line at offset %zu does not repeat the label", offset);
                ended = true;
                continue;
            }
            for (std::size_t i = 0; i < line.size(); ++i) {
                if (IsBlank(line[i])) continue;
                if (!IsBase64Char(line[i]))
                    ThrowTextFormat("PEM: the character at offset %zu is not base64", offset + i);
                base64 += line[i];
            }
        }
        if (!ended) ThrowTextFormat("PEM: the block \"%.*s\" has no END line", static_cast<int>(label.size()), label.data());
        SPemBlock block;
        block.label = CString(label);
        DecodeBase64(base64.data(), static_cast<int>(base64.size()), block.octets);
        blocks.Add(block);
        ++found;
    }
    return found;
}
