#include "tools/vorlan/cli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

std::string Describe(CException* e) {
    char text[512] = {};
    std::string message;
    if (e->GetErrorMessage(text, sizeof text)) message = text;
    if (message.empty()) message = e->GetRuntimeClass()->m_lpszClassName;
    e->Delete();
    return message;
}

TerminalProgress::TerminalProgress(std::string label, unsigned long long expectedHints)
    : m_label(std::move(label)), m_expected(expectedHints), m_enabled(isatty(STDERR_FILENO) != 0),
      m_progress(this, 0) {}

TerminalProgress::~TerminalProgress() { Finish(); }

LRESULT TerminalProgress::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    ++m_messages;
    switch (message) {
        case PBM_SETRANGE:
            m_total = static_cast<unsigned long long>(lParam) >> 16;
            break;
        case PBM_SETPOS:
            m_position = wParam;
            break;
        case PBM_DELTAPOS:
            m_position += wParam;
            break;
        default:
            return 0;
    }
    Draw();
    return 0;
}

BOOL TerminalProgress::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    SendMessage(message, wParam, lParam);
    return TRUE;
}

void TerminalProgress::Draw() {
    const unsigned long long total = m_expected ? m_expected : m_total;
    if (!m_enabled || m_finished || total == 0) return;
    const int percent = static_cast<int>(std::min<unsigned long long>(100, m_position * 100 / total));
    if (percent == m_drawnPercent) return;
    m_drawnPercent = percent;
    constexpr int width = 40;
    const int filled = percent * width / 100;
    std::fprintf(stderr, "\r%-12s [%s%s] %3d%%", m_label.c_str(), std::string(filled, '#').c_str(),
                 std::string(width - filled, '.').c_str(), percent);
    std::fflush(stderr);
}

void TerminalProgress::Finish() {
    if (m_enabled && !m_finished && m_drawnPercent >= 0) std::fputs("\n", stderr);
    m_finished = true;
}

void OpenInput(CFile& file, const std::string& path) {
    CFileException error;
    if (file.Open(path.c_str(), CFile::modeRead, &error)) return;
    char text[256] = {};
    error.GetErrorMessage(text, sizeof text);
    throw Failure(text);
}

std::vector<unsigned char> ReadAll(const std::string& path) {
    const int fd = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw Failure(path + ": " + std::strerror(errno));
    std::vector<unsigned char> data;
    unsigned char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            if (fd != STDIN_FILENO) ::close(fd);
            throw Failure(path + ": " + std::strerror(error));
        }
        if (got == 0) break;
        data.insert(data.end(), chunk, chunk + got);
    }
    if (fd != STDIN_FILENO) ::close(fd);
    return data;
}

void ReadBlocks(const std::string& path, CArray<SPemBlock>& blocks) {
    const std::vector<unsigned char> input = ReadAll(path);
    if (DecodePem(reinterpret_cast<const char*>(input.data()), static_cast<int>(input.size()), blocks) == 0) {
        SPemBlock whole;
        whole.octets.SetSize(static_cast<int>(input.size()));
        std::copy(input.begin(), input.end(), whole.octets.GetData());
        blocks.Add(whole);
    }
}

CByteArray ReadDER(const std::string& path, const char* label) {
    CArray<SPemBlock> blocks;
    ReadBlocks(path, blocks);
    for (int i = 0; i < blocks.GetSize(); ++i)
        if (blocks[i].label.IsEmpty() || blocks[i].label == CString(label)) return blocks[i].octets;
    throw Failure(path + ": no PEM block \"" + label + "\"");
}

std::unique_ptr<CRSAPublicKey> LoadKey(const std::string& path) {
    CFile file;
    OpenInput(file, path);
    CArchive ar(&file, CArchive::load);
    CRSAPublicKey* loaded = nullptr;
    try {
        ar >> loaded;
    } catch (CArchiveException* e) {
        throw Failure(path + ": not an RSA key archive (" + Describe(e) + ")");
    }
    if (!loaded) throw Failure(path + ": holds no key");
    return std::unique_ptr<CRSAPublicKey>(loaded);
}

std::vector<unsigned char> ParseHex(const std::string& text, size_t length, const char* what) {
    const CString hex(text.c_str());
    if (text.size() % 2 != 0 || !IsHexCharsString(hex))
        throw Failure(std::string(what) + " must be hexadecimal digits, two per octet");
    if (length != 0 && text.size() != 2 * length)
        throw Failure(std::string(what) + " must be " + std::to_string(length) + " octets (" +
                      std::to_string(2 * length) + " hexadecimal digits), not " + std::to_string(text.size() / 2));
    std::vector<unsigned char> octets(text.size() / 2);
    HexCharsToOctets(hex, octets.data(), static_cast<int>(octets.size()));
    return octets;
}

OutputFile::OutputFile(std::string path, unsigned mode) : m_path(std::move(path)), m_mode(mode) {
    std::string pattern = m_path + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) throw Failure(m_path + ": " + std::strerror(errno));
    m_temporary = pattern;
    m_file.m_hFile = fd;
    m_file.SetFilePath(m_temporary.c_str());
}

OutputFile::~OutputFile() {
    if (m_committed) return;
    m_file.Abort();
    ::unlink(m_temporary.c_str());
}

void OutputFile::Commit() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(m_file.m_hFile, static_cast<mode_t>(m_mode) & ~mask);
    m_file.Close();
    if (::rename(m_temporary.c_str(), m_path.c_str()) != 0) throw Failure(m_path + ": " + std::strerror(errno));
    m_committed = true;
}

}  // namespace cli
