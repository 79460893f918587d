// Shared pieces of the vorlan command-line program: failures as one line, a terminal
// progress bar fed by the library's progress messages, input reading and output files
// that appear only when complete.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "vorlan/vorlan.h"

namespace cli {

// A failure reported as one line on standard error with exit status 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The one-line text of a library exception; releases it.
std::string Describe(CException* e);

// Draws a bar on standard error when it is a terminal. The expected total is in hint
// units; 0 takes the total from the range the library sets up.
class TerminalProgress : public CMessageReceiver {
public:
    explicit TerminalProgress(std::string label, unsigned long long expectedHints = 0);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // A CProgress that sends to this bar; null when standard error is not a terminal.
    CProgress* Progress() { return m_enabled ? &m_progress : nullptr; }
    // A CProgress that always sends here: messages are counted even when nothing is drawn.
    CProgress* Receiver() { return &m_progress; }
    unsigned long Messages() const { return m_messages; }
    void Finish();

private:
    void Draw();

    std::string m_label;
    unsigned long long m_expected;
    unsigned long long m_total = 0;
    unsigned long long m_position = 0;
    int m_drawnPercent = -1;
    unsigned long m_messages = 0;
    bool m_enabled;
    bool m_finished = false;
    CProgress m_progress;
};

// Opens a file for reading or fails with the file error's text.
void OpenInput(CFile& file, const std::string& path);

// The whole of a file, or of standard input for "-".
std::vector<unsigned char> ReadAll(const std::string& path);

// Appends the PEM blocks of a file (or standard input), or, when it holds none, one unlabelled
// block of its octets as they are (DER).
void ReadBlocks(const std::string& path, CArray<SPemBlock>& blocks);
// The DER of a file: its first PEM block labelled `label`, or its octets when it holds no PEM.
CByteArray ReadDER(const std::string& path, const char* label);

// The RSA key of an archive written by keygen (private), or of a public key archive.
std::unique_ptr<CRSAPublicKey> LoadKey(const std::string& path);

// Octets from hexadecimal text; fails with `what` in the message unless it holds exactly `length` octets
// (any length when `length` is 0).
std::vector<unsigned char> ParseHex(const std::string& text, size_t length, const char* what);

// An output file written under a temporary name beside its final path and renamed into
// place by Commit(); dropped without trace otherwise. Secrets are saved with mode 0600.
class OutputFile {
public:
    explicit OutputFile(std::string path, unsigned mode = 0644);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    CFile& File() { return m_file; }
    void Commit();

private:
    std::string m_path;
    std::string m_temporary;
    unsigned m_mode;
    CFile m_file;
    bool m_committed = false;
};

// Registration of each command with the program's parser.
void AddDemoCommand(CLI::App& app);
void AddDumpCommand(CLI::App& app);
void AddDigestCommand(CLI::App& app);
void AddCryptCommands(CLI::App& app);
void AddKeyCommands(CLI::App& app);
void AddCertCommands(CLI::App& app);
void AddLdapCommands(CLI::App& app);

}  // namespace cli
