// The path validation of `cert verify` and `smime verify`: the options, the stores and lists they
// name, and the verdict as the program says it.
#include <sys/stat.h>

#include <cstdio>
#include <ctime>

#include "tools/vorlan/cli.h"

namespace cli {
namespace {

// "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM[:SS]" (GMT, a trailing Z allowed) as an instant.
CUTCTime ParseTime(const std::string& text) {
    std::tm fields{};
    int consumed = 0;
    const int read = std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &fields.tm_year, &fields.tm_mon, &fields.tm_mday, &consumed);
    bool sound = read == 3;
    size_t at = static_cast<size_t>(consumed);
    if (sound && at < text.size() && (text[at] == 'T' || text[at] == ' ')) {
        int more = 0;
        sound = std::sscanf(text.c_str() + at + 1, "%2d:%2d%n", &fields.tm_hour, &fields.tm_min, &more) == 2;
        at += 1 + static_cast<size_t>(more);
        if (sound && at < text.size() && text[at] == ':') {
            sound = std::sscanf(text.c_str() + at + 1, "%2d%n", &fields.tm_sec, &more) == 1;
            at += 1 + static_cast<size_t>(more);
        }
    }
    if (sound && at < text.size() && text[at] == 'Z') ++at;
    const int year = fields.tm_year, month = fields.tm_mon, day = fields.tm_mday;
    fields.tm_year -= 1900;
    fields.tm_mon -= 1;
    const std::time_t time = timegm(&fields);
    std::tm back{};
    sound = sound && at == text.size() && time != -1 && gmtime_r(&time, &back) && back.tm_year + 1900 == year &&
            back.tm_mon + 1 == month && back.tm_mday == day && fields.tm_hour < 24 && fields.tm_min < 60 &&
            fields.tm_sec < 60;
    if (!sound) throw Failure("--at: \"" + text + "\" is not a time as 2024-05-01 or 2024-05-01T12:00:00 (GMT)");
    return CUTCTime(time);
}

void LoadAnchors(CCertificateStore& store, const std::string& path) {
    struct stat status{};
    const bool folder = ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
    try {
        if (folder)
            store.LoadFolder(path.c_str());
        else
            store.LoadFile(path.c_str());
    } catch (CException* e) {
        throw Failure(path + ": " + Describe(e));
    }
    if (store.GetCount() == 0) throw Failure(path + ": no certificate that can be used");
}

}  // namespace

void AddPathOptions(CLI::App* command, PathOptions& options) {
    command->add_option("--CAfile", options.caFile,
                        "trust anchors: a PEM bundle, a certificate or a folder of them (validates the whole path; "
                        "default " + std::string(CCertificateStore::kSystemBundle) + ")");
    command->add_option("--untrusted", options.untrusted, "intermediate certificates (PEM bundle or DER) for the path");
    command->add_flag("--crl-check-all", options.crlCheckAll,
                      "every certificate of the path needs a usable revocation list of its issuer (--crl)");
    command->add_option("--at", options.at, "validate at this time instead of now: 2024-05-01 or 2024-05-01T12:00:00 (GMT)");
}

PathInputs::PathInputs(const PathOptions& options) {
    LoadAnchors(m_anchors, options.caFile.empty() ? CCertificateStore::kSystemBundle : options.caFile);
    if (!options.untrusted.empty()) {
        try {
            m_intermediates.LoadFile(options.untrusted.c_str());
        } catch (CException* e) {
            throw Failure(options.untrusted + ": " + Describe(e));
        }
    }
    for (const std::string& path : options.crls) {
        CArray<SPemBlock> blocks;
        ReadBlocks(path, blocks);
        int added = 0;
        for (int i = 0; i < blocks.GetSize(); ++i) {
            if (!blocks[i].label.IsEmpty() && !(blocks[i].label == "X509 CRL")) continue;
            try {
                m_lists.AddDer(blocks[i].octets.GetData(), blocks[i].octets.GetSize());
            } catch (CException* e) {
                throw Failure(path + ": " + Describe(e));
            }
            ++added;
        }
        if (added == 0) throw Failure(path + ": no PEM block \"X509 CRL\"");
    }
    if (!options.at.empty()) m_options.time = ParseTime(options.at);
    m_options.requireRevocationLists = options.crlCheckAll;
}

CPathValidator PathInputs::Validator() const {
    CPathValidator validator(m_anchors, &m_intermediates, &m_lists);
    validator.m_options = m_options;
    return validator;
}

std::string ValidatePath(const CPathValidator& validator, const CByteArray& der, const std::string& name) {
    CPathResult result;
    std::unique_ptr<CPathCertificate> end;
    try {
        end = std::make_unique<CPathCertificate>(der.GetData(), der.GetSize());
    } catch (CException* e) {
        result = CPathValidator::Unreadable(der.GetData(), der.GetSize(), Describe(e));
    }
    if (end) result = validator.Validate(*end);
    if (!result.IsValid()) throw Failure(name + ": " + result.m_strReason);
    std::string lines;
    for (size_t i = 0; i < result.m_path.size(); ++i)
        lines += (i + 1 == result.m_path.size() ? "   anchor " : "   " + std::to_string(i) + " ") +
                 result.m_path[i]->Certificate().m_subject.GetOneLine().str() + "\n";
    return lines;
}

}  // namespace cli
