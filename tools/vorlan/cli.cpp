#include "tools/vorlan/cli.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace cli {

std::string Because() { return std::string(" (") + LastDecodingReason() + ")"; }

std::string Describe(CException* e) {
    char text[512] = {};
    std::string message;
    if (e->GetErrorMessage(text, sizeof text)) message = text;
    if (message.empty()) message = e->GetRuntimeClass()->m_lpszClassName;
    e->Delete();
    return message;
}

TerminalProgress::TerminalProgress(std::string label, unsigned long long expectedHints)
    : m_label(std::move(label)),
      m_expected(expectedHints),
      m_enabled(isatty(STDERR_FILENO) != 0),
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

namespace {

// The whole of a file, or of standard input for "-", as `Octets`; what was read is wiped
// wherever it passes through, so a wiping `Octets` leaves no copy of a key file behind.
template <class Octets>
Octets ReadOctets(const std::string& path) {
    const int fd = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw Failure(path + ": " + std::strerror(errno));
    Octets data;
    vorlan::detail::CWipedOctets<65536> chunk;
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data, sizeof chunk.data);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            if (fd != STDIN_FILENO) ::close(fd);
            throw Failure(path + ": " + std::strerror(error));
        }
        if (got == 0) break;
        data.insert(data.end(), chunk.data, chunk.data + got);
    }
    if (fd != STDIN_FILENO) ::close(fd);
    return data;
}

// PEM blocks that may hold a private key, wiped when they die.
struct CWipedBlocks {
    CArray<SPemBlock> blocks;
    CWipedBlocks() = default;
    CWipedBlocks(const CWipedBlocks&) = delete;
    CWipedBlocks& operator=(const CWipedBlocks&) = delete;
    ~CWipedBlocks() {
        for (int i = 0; i < blocks.GetSize(); ++i)
            if (blocks[i].octets.GetSize() > 0)
                SecureWipe(blocks[i].octets.GetData(), static_cast<size_t>(blocks[i].octets.GetSize()));
    }
};

}  // namespace

std::vector<unsigned char> ReadAll(const std::string& path) { return ReadOctets<std::vector<unsigned char>>(path); }

void ReadBlocks(const std::string& path, CArray<SPemBlock>& blocks) {
    const auto input = ReadOctets<vorlan::detail::CWipedVector<unsigned char>>(path);
    if (DecodePem(reinterpret_cast<const char*>(input.data()), static_cast<int>(input.size()), blocks) == 0) {
        SPemBlock whole;
        whole.octets.SetSize(static_cast<int>(input.size()));
        std::copy(input.begin(), input.end(), whole.octets.GetData());
        blocks.Add(whole);
        SecureWipe(whole.octets.GetData(), input.size());
    }
}

CByteArray ReadDER(const std::string& path, const char* label) {
    CArray<SPemBlock> blocks;
    ReadBlocks(path, blocks);
    for (int i = 0; i < blocks.GetSize(); ++i)
        if (blocks[i].label.IsEmpty() || blocks[i].label == CString(label)) return blocks[i].octets;
    throw Failure(path + ": no PEM block \"" + label + "\"");
}

namespace {

template <class Value, class Target>
Target ReadAs(const std::string& path, const char* label) {
    const Decoded<Value> value(path, label);
    Target target;
    try {
        value->SetDataTo(target);
    } catch (CException* e) {
        throw Failure(path + ": " + Describe(e));
    }
    return target;
}

}  // namespace

CCertificate ReadCertificate(const std::string& path) {
    return ReadAs<CASN1_Certificate, CCertificate>(path, "CERTIFICATE");
}

CCertificateRevocationList ReadCRL(const std::string& path) {
    return ReadAs<CASN1_CertificateRevocationList, CCertificateRevocationList>(path, "X509 CRL");
}

namespace {

// The RSAPrivateKey (PKCS #1) of `der`, or the one inside an unencrypted PKCS #8 PrivateKeyInfo.
std::unique_ptr<CRSAPrivateKey> ReadPrivateKey(const CByteArray& der, bool pkcs8) {
    CDEREncoding encoding(0, der);
    encoding.AddRef();  // our own hold: the value tree shares the encoding
    CByteArray numbers;  // wiped when freed
    if (pkcs8) {
        CASN1_SEQUENCE info;
        info.decodeFrom(encoding);
        const auto* algorithm =
            info.GetCount() >= 3 ? dynamic_cast<const CASN1_SEQUENCE*>(&info.GetComponent(1)) : nullptr;
        const auto* identifier = algorithm && algorithm->GetCount() > 0
                                     ? dynamic_cast<const CASN1_OBJECT_IDENTIFIER*>(&algorithm->GetComponent(0))
                                     : nullptr;
        if (!identifier || !(*identifier == CASN1_rsaEncryption()) ||
            info.GetComponent(2).identifier != kASN1OctetString)
            throw Failure("not an RSA PrivateKeyInfo");
        info.GetComponent(2).GetClearData(numbers, 1);
    } else {
        numbers.Copy(der);
    }
    CDEREncoding inner(0, numbers);
    inner.AddRef();
    CASN1_PrivateKey structure;
    structure.decodeFrom(inner);
    if (!CASN1_PrivateKey::isValid(&structure, 0)) throw Failure("not an RSAPrivateKey");
    auto key = std::make_unique<CRSAPrivateKey>();
    structure.SetDataTo(*key);
    return key;
}

}  // namespace

std::unique_ptr<CRSAPublicKey> LoadKey(const std::string& path) {
    CWipedBlocks wiped;
    CArray<SPemBlock>& blocks = wiped.blocks;
    ReadBlocks(path, blocks);
    for (int i = 0; i < blocks.GetSize(); ++i) {
        const CString& label = blocks[i].label;
        if (label == CString("ENCRYPTED PRIVATE KEY"))
            throw Failure(path + ": an encrypted key; write it plain first (openssl pkey -in KEY -out PLAIN)");
        if (label != CString("RSA PRIVATE KEY") && label != CString("PRIVATE KEY")) continue;
        try {
            return ReadPrivateKey(blocks[i].octets, label == CString("PRIVATE KEY"));
        } catch (const Failure& e) {
            throw Failure(path + ": " + e.what());
        } catch (CException* e) {
            throw Failure(path + ": " + Describe(e));
        }
    }
    // The archive of keygen: the file's octets as they are.
    CByteArray& octets = blocks[blocks.GetSize() - 1].octets;
    CMemFile file(octets.GetData(), static_cast<UINT>(octets.GetSize()));
    CArchive ar(&file, CArchive::load);
    CRSAPublicKey* loaded = nullptr;
    try {
        ar >> loaded;
    } catch (CException* e) {
        throw Failure(path + ": not an RSA key archive, nor a PEM RSA private key (" + Describe(e) + ")");
    }
    if (!loaded) throw Failure(path + ": holds no key");
    return std::unique_ptr<CRSAPublicKey>(loaded);
}

std::unique_ptr<CRSAPrivateKey> LoadPrivateKey(const std::string& path) {
    std::unique_ptr<CRSAPublicKey> key = LoadKey(path);
    if (!dynamic_cast<CRSAPrivateKey*>(key.get()))
        throw Failure(path + ": holds a public key; signing needs a private one");
    return std::unique_ptr<CRSAPrivateKey>(static_cast<CRSAPrivateKey*>(key.release()));
}

void RequireKeyOf(const CRSAPrivateKey& key, const std::string& keyPath, const CCertificate& certificate,
                  const std::string& certificatePath) {
    CCertificate probe;
    probe.GetDataFrom(key);
    if (probe.m_wKeyBits != certificate.m_wKeyBits ||
        std::memcmp(probe.m_modulus, certificate.m_modulus, sizeof probe.m_modulus) != 0 ||
        std::memcmp(probe.m_publicExponent, certificate.m_publicExponent, sizeof probe.m_publicExponent) != 0)
        throw Failure(keyPath + ": not the key of " + certificatePath);
}

void VerifyIssued(const CCertificate& certificate, const std::string& path, const CCertificate& issuer,
                  const std::string& issuerPath) {
    const std::string by = issuerPath.empty() ? "its own key" : "the key of " + issuerPath;
    if (!(certificate.m_issuer == issuer.m_subject))
        throw Failure(path + ": its issuer is not the subject of " + (issuerPath.empty() ? path : issuerPath));
    if (!certificate.IsSignatureOKFor(issuer)) throw Failure(path + ": the signature does not verify with " + by + Because());
    if (!certificate.IsValidationPeriodOKFor(CUTCTime()))
        throw Failure(path + ": not valid now (valid from " + certificate.m_notBefore.GetTimeAsString(1, 0).str() +
                      " until " + certificate.m_notAfter.GetTimeAsString(1, 0).str() + ")");
}

std::string Lines(const CString& text) {
    std::string lines;
    for (const char c : text.str())
        if (c != '\r') lines += c;
    return lines;
}

namespace {

// The attribute type written as `name` in one-line names ("CN", "emailAddress", a dotted
// identifier for a type without a short name), as the openssl -subj form names them.
DNAttrNameEnum TypeNamed(const std::string& name) {
    for (int type = 0; type < AfxGetLenArrayOfDNAttrName(); ++type) {
        CDistinguishedName probe;
        probe.Add(new CRelativeDN);
        probe[0]->Add(new CAttributeValue(static_cast<DNAttrNameEnum>(type), "x"));
        if (probe.GetOneLine().str() == name + "=x") return static_cast<DNAttrNameEnum>(type);
    }
    throw Failure("--subject: unknown attribute type \"" + name + "\"");
}

}  // namespace

CDistinguishedName ParseSubject(const std::string& text) {
    if (text.size() < 2 || text[0] != '/')
        throw Failure("--subject must read /type=value/..., for example /C=DE/O=Example/CN=Erika");
    CDistinguishedName name;
    name.Add(new CRelativeDN);
    std::string type, value;
    bool inValue = false;
    const auto finishAttribute = [&] {
        if (type.empty() || !inValue || value.empty())
            throw Failure("--subject: \"" + type + (inValue ? "=" + value : "") + "\" is not type=value");
        auto* attribute = new CAttributeValue(TypeNamed(type), value.c_str());
        name[name.GetSize() - 1]->Add(attribute);
        for (const unsigned char c : value)
            if (c >= 0x80) attribute->m_nStringType = kASN1UTF8String;  // non-ASCII text comes as UTF-8
        type.clear();
        value.clear();
        inValue = false;
    };
    for (size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            (inValue ? value : type) += text[++i];
        } else if (c == '=' && !inValue) {
            inValue = true;
        } else if (c == '+' || c == '/') {
            finishAttribute();
            if (c == '/') name.Add(new CRelativeDN);
        } else {
            (inValue ? value : type) += c;
        }
    }
    finishAttribute();
    return name;
}

Digest MakeDigest(const std::string& name) {
    if (name == "md2") return {std::make_unique<CMD2DigestMaker>(), 16, 16};
    if (name == "md5") return {std::make_unique<CMD5DigestMaker>(), 16, 64};
    if (name == "sha1") return {std::make_unique<CSHA1DigestMaker>(), 20, 64};
    if (name == "sha256") return {std::make_unique<CSHA256DigestMaker>(), 32, 64};
    if (name == "sha384") return {std::make_unique<CSHA384DigestMaker>(), 48, 128};
    if (name == "sha512") return {std::make_unique<CSHA512DigestMaker>(), 64, 128};
    throw Failure("unknown digest \"" + name + "\"");
}

std::string FieldHex(const BYTE* field, size_t size) {
    size_t first = 0;
    while (first + 1 < size && field[first] == 0) ++first;
    return std::string(OctetsToHexChars(field + first, static_cast<int>(size - first)));
}

CSerialNumber RandomSerial() {
    BYTE serial[16];
    CRandomsGenerator().GetRandomBlock(serial, sizeof serial);
    serial[0] &= 0x7F;
    serial[0] |= 0x01;  // 16 significant octets, positive
    return CSerialNumber(serial, sizeof serial);
}

void SetValidity(CUTCTime& from, CUTCTime& until, unsigned days) {
    const std::time_t now = std::time(nullptr);
    from.SetTime(now);
    until.SetTime(now + static_cast<std::time_t>(days) * 86400);
    // UTCTime years 50-99 read as 1950-1999 (RFC 5280): a later end would read as the past.
    if (until.m_wYear >= 2050) throw Failure("--days: the validity must end before 2050 (UTCTime)");
}

void Issue(CCertificate& certificate, const CDistinguishedName& issuer, const CRSAPrivateKey& signer, unsigned days,
           const std::string& md) {
    certificate.m_issuer = issuer;
    certificate.m_serialNumber = RandomSerial();
    SetValidity(certificate.m_notBefore, certificate.m_notAfter, days);
    certificate.SignWith(signer, SignatureAlgorithmOf(md));
}

CByteArray MakeRequest(const CDistinguishedName& subject, const CRSAPrivateKey& key, const std::string& md) {
    CASN1_SET noAttributes;
    auto* info = new CASN1_CertificationRequestInfo(new CASN1_RDNSequence(subject), new CASN1_SubjectPublicKeyInfo(key),
                                                    noAttributes);
    CByteArray der;
    CASN1_CertificationRequest request;
    request.AddObject(info);
    request.SignWith(key, SignatureAlgorithmOf(md));
    request.encodeTo(der);
    return der;
}

void TakeRequest(const CASN1_CertificationRequest& request, const std::string& name, CCertificate& certificate) {
    if (!request.IsSignatureOK())
        throw Failure(name + ": the request's signature does not verify with its key" + Because());
    const CASN1_CertificationRequestInfo& info = request.GetCertificationRequestInfo();
    try {
        info.GetSubject().SetDataTo(certificate.m_subject);
        info.GetSubjectPublicKeyInfo().SetDataTo(certificate);
    } catch (CException* e) {
        throw Failure(name + ": " + Describe(e));
    }
}

void AddOutform(CLI::App* command, std::string& outform) {
    outform = "pem";
    command->add_option("--outform", outform, "pem or der")
        ->capture_default_str()
        ->check(CLI::IsMember({"pem", "der"}));
}

const char* const kMdNames[] = {"sha1", "sha256", "sha384", "sha512"};

void AddMd(CLI::App* command, std::string& md) {
    md = "sha1";
    command->add_option("--md", md, "digest: sha1, sha256, sha384 or sha512")
        ->capture_default_str()
        ->check(CLI::IsMember(std::vector<std::string>(std::begin(kMdNames), std::end(kMdNames))));
}

int SignatureAlgorithmOf(const std::string& md) {
    for (int i = 0; const char* name : kMdNames) {  // the algorithms 2 to 5
        if (md == name) return 2 + i;
        ++i;
    }
    throw Failure("unknown digest \"" + md + "\"");
}

void WriteEncoded(const std::string& path, const CByteArray& der, const char* label, const std::string& outform) {
    OutputFile out(path);
    if (outform == "der") {
        out.File().Write(der.GetData(), static_cast<UINT>(der.GetSize()));
    } else {
        const CString pem = EncodePem(label, der.GetData(), der.GetSize());
        out.File().Write(static_cast<const char*>(pem), static_cast<UINT>(pem.GetLength()));
    }
    out.Commit();
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

namespace {

// Names of temporaries that exist under a name for the moment, removed when SIGHUP, SIGINT or SIGTERM
// ends the program (a signal runs no destructors).
constexpr int kRemovalSignals[] = {SIGHUP, SIGINT, SIGTERM};
std::array<std::atomic<const char*>, 4> g_namedTemporaries;

extern "C" void RemoveNamedTemporaries(int signal) {
    for (auto& slot : g_namedTemporaries)
        if (const char* name = slot.load()) ::unlink(name);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// The removal signals wait while a name is made and remembered, so no name exists unremembered.
class RemovalSignalsHeld {
public:
    RemovalSignalsHeld() {
        static const bool installed = [] {
            for (const int signal : kRemovalSignals) {
                struct sigaction old = {};
                ::sigaction(signal, nullptr, &old);
                if (old.sa_handler == SIG_IGN) continue;  // e.g. under nohup: stays ignored
                struct sigaction action = {};
                action.sa_handler = RemoveNamedTemporaries;
                ::sigemptyset(&action.sa_mask);
                ::sigaction(signal, &action, nullptr);
            }
            return true;
        }();
        (void)installed;
        sigset_t held;
        ::sigemptyset(&held);
        for (const int signal : kRemovalSignals) ::sigaddset(&held, signal);
        ::pthread_sigmask(SIG_BLOCK, &held, &m_before);
    }
    ~RemovalSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &m_before, nullptr); }
    RemovalSignalsHeld(const RemovalSignalsHeld&) = delete;
    RemovalSignalsHeld& operator=(const RemovalSignalsHeld&) = delete;

private:
    sigset_t m_before;
};

// A new name beside `path` that `make` creates, remembered for removal on signals; `make` fails
// with EEXIST when the name is taken.
template <class Make>
void MakeNamedTemporary(const std::string& path, std::string& name, Make make) {
    const RemovalSignalsHeld held;
    const auto slot = std::find(g_namedTemporaries.begin(), g_namedTemporaries.end(), nullptr);
    if (slot == g_namedTemporaries.end()) throw Failure(path + ": too many files being saved at once");
    for (unsigned attempt = 0;; ++attempt) {
        name = path + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
        if (make(name.c_str())) break;
        const int error = errno;
        name.clear();
        if (error != EEXIST || attempt == 99) throw Failure(path + ": " + std::strerror(error));
    }
    *slot = name.c_str();
}

void ForgetTemporary(const std::string& name) {
    for (auto& slot : g_namedTemporaries) {
        const char* held = name.c_str();
        if (slot.compare_exchange_strong(held, nullptr)) return;
    }
}

// The folder of a path, "." for a bare file name.
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

OutputFile::OutputFile(std::string path, unsigned mode) : m_path(std::move(path)) {
    // A file without a name vanishes with the process however it ends; file systems without
    // them get a named temporary, removed on failures and on the usual termination signals.
    int fd = ::open(FolderOf(m_path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, static_cast<mode_t>(mode));
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        MakeNamedTemporary(m_path, m_temporary, [&](const char* name) {
            fd = ::open(name, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, static_cast<mode_t>(mode));
            return fd >= 0;
        });
    }
    if (fd < 0) throw Failure(m_path + ": " + std::strerror(errno));
    m_file.m_hFile = fd;
    m_file.SetFilePath(m_path.c_str());
}

OutputFile::~OutputFile() {
    if (m_committed) return;
    m_file.Abort();
    if (m_temporary.empty()) return;
    ::unlink(m_temporary.c_str());
    ForgetTemporary(m_temporary);
}

void OutputFile::Commit() {
    // On disk before it gets its final name, and the name on disk before success is reported.
    if (::fsync(m_file.m_hFile) != 0) throw Failure(m_path + ": " + std::strerror(errno));
    if (m_temporary.empty()) {
        // linkat cannot replace a file, so the unnamed file is linked beside the path and renamed.
        const std::string unnamed = "/proc/self/fd/" + std::to_string(m_file.m_hFile);
        MakeNamedTemporary(m_path, m_temporary, [&](const char* name) {
            return ::linkat(AT_FDCWD, unnamed.c_str(), AT_FDCWD, name, AT_SYMLINK_FOLLOW) == 0;
        });
    }
    m_file.Close();
    if (::rename(m_temporary.c_str(), m_path.c_str()) != 0) throw Failure(m_path + ": " + std::strerror(errno));
    ForgetTemporary(m_temporary);
    m_committed = true;
    const std::string folder = FolderOf(m_path);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) throw Failure(folder + ": " + std::strerror(errno));
    const int synced = ::fsync(fd), error = errno;
    ::close(fd);
    if (synced != 0 && error != EINVAL) throw Failure(folder + ": " + std::strerror(error));
}

}  // namespace cli
