// The PKITS tests of sections 4.1 to 4.7, 4.13, 4.16 and of 4.14 the first fourteen with the verdict of each: valid, or the code
// of the refusal and the depth of the refused certificate (0 the end certificate). The path tests
// of the library and the S/MIME tests of the program share it.
//
// The expected verdicts are PKITS's (Valid... valid, Invalid... refused); the refusal's code and depth are those of the check that PKITS exercises, with the depth counted
// from the end certificate (0). Where `openssl verify -x509_strict -crl_check_all` over the same
// data says otherwise, the row says why:
// - pathLenConstraint: the refused certificate is the CA one too many (RFC 5280 6.1.4 (l) checks
//   it), where OpenSSL names the CA whose constraint is exceeded;
// - the DSA tests (4.1.4 to 4.1.6): the library supports only RSA, so their end certificates, signed
//   with DSA, are refused as of an unsupported key/algorithm, never valid, and 4.1.6's bad signature
//   is not told apart;
// - separate list-signing keys (4.4.19 to 4.4.21, 4.5.6 to 4.5.8): OpenSSL finds no list (or one of
//   "different scope") where the list is signed by another certificate of the issuer's name, which
//   RFC 5280 allows and PKITS expects to be accepted.
#pragma once

#include <ctime>
#include <filesystem>
#include <ostream>

#include "vorlan/x509/pathvalidation.h"

namespace pkits {

inline const std::filesystem::path kPkits = "/usr/lib/python3/dist-packages/cryptography_vectors/x509/PKITS_data";
// Within every list's and every good certificate's validity: 1 January 2020, 00:00 GMT.
inline constexpr std::time_t kValidationTime = 1577836800;

struct Row {
    const char* name;
    EPathStatus status;
    int depth;  // of the refused certificate; -1 when valid
    friend void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }
};

inline const Row kRows[] = {
    // 4.1 Signature verification
    {"ValidCertificatePathTest1", kPathValid, -1},
    {"InvalidCASignatureTest2", kPathBadSignature, 1},
    {"InvalidEESignatureTest3", kPathBadSignature, 0},
    {"ValidDSASignaturesTest4", kPathUnsupportedAlgorithm, 0},
    {"ValidDSAParameterInheritanceTest5", kPathUnsupportedAlgorithm, 0},
    {"InvalidDSASignatureTest6", kPathUnsupportedAlgorithm, 0},
    // 4.2 Validity periods
    {"InvalidCAnotBeforeDateTest1", kPathNotYetValid, 1},
    {"InvalidEEnotBeforeDateTest2", kPathNotYetValid, 0},
    {"Validpre2000UTCnotBeforeDateTest3", kPathValid, -1},
    {"ValidGeneralizedTimenotBeforeDateTest4", kPathValid, -1},
    {"InvalidCAnotAfterDateTest5", kPathExpired, 1},
    {"InvalidEEnotAfterDateTest6", kPathExpired, 0},
    {"Invalidpre2000UTCEEnotAfterDateTest7", kPathExpired, 0},
    {"ValidGeneralizedTimenotAfterDateTest8", kPathValid, -1},
    // 4.3 Verifying name chaining
    {"InvalidNameChainingTest1", kPathNoIssuer, 0},
    {"InvalidNameChainingOrderTest2", kPathNoIssuer, 0},
    {"ValidNameChainingWhitespaceTest3", kPathValid, -1},
    {"ValidNameChainingWhitespaceTest4", kPathValid, -1},
    {"ValidNameChainingCapitalizationTest5", kPathValid, -1},
    {"ValidNameUIDsTest6", kPathValid, -1},
    {"ValidRFC3280MandatoryAttributeTypesTest7", kPathValid, -1},
    {"ValidRFC3280OptionalAttributeTypesTest8", kPathValid, -1},
    {"ValidUTF8StringEncodedNamesTest9", kPathValid, -1},
    {"ValidRolloverfromPrintableStringtoUTF8StringTest10", kPathValid, -1},
    {"ValidUTF8StringCaseInsensitiveMatchTest11", kPathValid, -1},
    // 4.4 Basic certificate revocation
    {"InvalidMissingCRLTest1", kPathNoRevocationList, 0},
    {"InvalidRevokedCATest2", kPathRevoked, 1},
    {"InvalidRevokedEETest3", kPathRevoked, 0},
    {"InvalidBadCRLSignatureTest4", kPathRevocationListRefused, 0},
    {"InvalidBadCRLIssuerNameTest5", kPathNoRevocationList, 0},
    {"InvalidWrongCRLTest6", kPathNoRevocationList, 0},
    {"ValidTwoCRLsTest7", kPathValid, -1},
    {"InvalidUnknownCRLEntryExtensionTest8", kPathRevocationListRefused, 0},
    {"InvalidUnknownCRLExtensionTest9", kPathRevocationListRefused, 0},
    {"InvalidUnknownCRLExtensionTest10", kPathRevocationListRefused, 0},
    {"InvalidOldCRLnextUpdateTest11", kPathRevocationListRefused, 0},
    {"Invalidpre2000CRLnextUpdateTest12", kPathRevocationListRefused, 0},
    {"ValidGeneralizedTimeCRLnextUpdateTest13", kPathValid, -1},
    {"ValidNegativeSerialNumberTest14", kPathValid, -1},
    {"InvalidNegativeSerialNumberTest15", kPathRevoked, 0},
    {"ValidLongSerialNumberTest16", kPathValid, -1},
    {"ValidLongSerialNumberTest17", kPathValid, -1},
    {"InvalidLongSerialNumberTest18", kPathRevoked, 0},
    {"ValidSeparateCertificateandCRLKeysTest19", kPathValid, -1},
    {"InvalidSeparateCertificateandCRLKeysTest20", kPathRevoked, 0},
    // The list's signer is revoked, so no list of the end certificate's issuer can be used.
    {"InvalidSeparateCertificateandCRLKeysTest21", kPathRevocationListRefused, 0},
    // 4.5 Verifying paths with self-issued certificates
    {"ValidBasicSelfIssuedOldWithNewTest1", kPathValid, -1},
    {"InvalidBasicSelfIssuedOldWithNewTest2", kPathRevoked, 0},
    {"ValidBasicSelfIssuedNewWithOldTest3", kPathValid, -1},
    {"ValidBasicSelfIssuedNewWithOldTest4", kPathValid, -1},
    {"InvalidBasicSelfIssuedNewWithOldTest5", kPathRevoked, 0},
    {"ValidBasicSelfIssuedCRLSigningKeyTest6", kPathValid, -1},
    {"InvalidBasicSelfIssuedCRLSigningKeyTest7", kPathRevoked, 0},
    // Signed by the list-signing key, whose certificate is no CA (nor has keyCertSign).
    {"InvalidBasicSelfIssuedCRLSigningKeyTest8", kPathNotCA, 1},
    // 4.6 Verifying basic constraints
    {"InvalidMissingbasicConstraintsTest1", kPathNotCA, 1},
    {"InvalidcAFalseTest2", kPathNotCA, 1},
    {"InvalidcAFalseTest3", kPathNotCA, 1},
    {"ValidbasicConstraintsNotCriticalTest4", kPathValid, -1},
    {"InvalidpathLenConstraintTest5", kPathLengthExceeded, 1},
    {"InvalidpathLenConstraintTest6", kPathLengthExceeded, 1},
    {"ValidpathLenConstraintTest7", kPathValid, -1},
    {"ValidpathLenConstraintTest8", kPathValid, -1},
    {"InvalidpathLenConstraintTest9", kPathLengthExceeded, 1},
    {"InvalidpathLenConstraintTest10", kPathLengthExceeded, 1},
    {"InvalidpathLenConstraintTest11", kPathLengthExceeded, 1},
    {"InvalidpathLenConstraintTest12", kPathLengthExceeded, 1},
    {"ValidpathLenConstraintTest13", kPathValid, -1},
    {"ValidpathLenConstraintTest14", kPathValid, -1},
    {"ValidSelfIssuedpathLenConstraintTest15", kPathValid, -1},
    {"InvalidSelfIssuedpathLenConstraintTest16", kPathLengthExceeded, 1},
    {"ValidSelfIssuedpathLenConstraintTest17", kPathValid, -1},
    // 4.7 Key usage
    {"InvalidkeyUsageCriticalkeyCertSignFalseTest1", kPathKeyUsage, 1},
    {"InvalidkeyUsageNotCriticalkeyCertSignFalseTest2", kPathKeyUsage, 1},
    {"ValidkeyUsageNotCriticalTest3", kPathValid, -1},
    // The list is signed by a CA whose keyUsage lacks cRLSign.
    {"InvalidkeyUsageCriticalcRLSignFalseTest4", kPathRevocationListRefused, 0},
    {"InvalidkeyUsageNotCriticalcRLSignFalseTest5", kPathRevocationListRefused, 0},
    // 4.13 Name constraints
    {"ValidDNnameConstraintsTest1", kPathValid, -1},
    {"InvalidDNnameConstraintsTest2", kPathNameConstraints, 0},
    {"InvalidDNnameConstraintsTest3", kPathNameConstraints, 0},
    {"ValidDNnameConstraintsTest4", kPathValid, -1},
    {"ValidDNnameConstraintsTest5", kPathValid, -1},
    {"ValidDNnameConstraintsTest6", kPathValid, -1},
    {"InvalidDNnameConstraintsTest7", kPathNameConstraints, 0},
    {"InvalidDNnameConstraintsTest8", kPathNameConstraints, 0},
    {"InvalidDNnameConstraintsTest9", kPathNameConstraints, 0},
    {"InvalidDNnameConstraintsTest10", kPathNameConstraints, 0},
    {"ValidDNnameConstraintsTest11", kPathValid, -1},
    {"InvalidDNnameConstraintsTest12", kPathNameConstraints, 0},
    {"InvalidDNnameConstraintsTest13", kPathNameConstraints, 0},
    {"ValidDNnameConstraintsTest14", kPathValid, -1},
    {"InvalidDNnameConstraintsTest15", kPathNameConstraints, 0},
    {"InvalidDNnameConstraintsTest16", kPathNameConstraints, 0},
    {"InvalidDNnameConstraintsTest17", kPathNameConstraints, 0},
    {"ValidDNnameConstraintsTest18", kPathValid, -1},
    {"ValidDNnameConstraintsTest19", kPathValid, -1},
    {"InvalidDNnameConstraintsTest20", kPathNameConstraints, 0},
    {"ValidRFC822nameConstraintsTest21", kPathValid, -1},
    {"InvalidRFC822nameConstraintsTest22", kPathNameConstraints, 0},
    {"ValidRFC822nameConstraintsTest23", kPathValid, -1},
    {"InvalidRFC822nameConstraintsTest24", kPathNameConstraints, 0},
    {"ValidRFC822nameConstraintsTest25", kPathValid, -1},
    {"InvalidRFC822nameConstraintsTest26", kPathNameConstraints, 0},
    {"ValidDNandRFC822nameConstraintsTest27", kPathValid, -1},
    {"InvalidDNandRFC822nameConstraintsTest28", kPathNameConstraints, 0},
    {"InvalidDNandRFC822nameConstraintsTest29", kPathNameConstraints, 0},
    {"ValidDNSnameConstraintsTest30", kPathValid, -1},
    {"InvalidDNSnameConstraintsTest31", kPathNameConstraints, 0},
    {"ValidDNSnameConstraintsTest32", kPathValid, -1},
    {"InvalidDNSnameConstraintsTest33", kPathNameConstraints, 0},
    {"ValidURInameConstraintsTest34", kPathValid, -1},
    {"InvalidURInameConstraintsTest35", kPathNameConstraints, 0},
    {"ValidURInameConstraintsTest36", kPathValid, -1},
    {"InvalidURInameConstraintsTest37", kPathNameConstraints, 0},
    {"InvalidDNSnameConstraintsTest38", kPathNameConstraints, 0},
    // 4.14 Distribution points, tests 1 to 14: the scopes of complete lists (the indirect lists and
    // lists of some reasons of the rest of 4.14 are refused as lists, not applied).
    {"ValiddistributionPointTest1", kPathValid, -1},
    {"InvaliddistributionPointTest2", kPathRevoked, 0},
    {"InvaliddistributionPointTest3", kPathRevocationListRefused, 0},
    {"ValiddistributionPointTest4", kPathValid, -1},
    {"ValiddistributionPointTest5", kPathValid, -1},
    {"InvaliddistributionPointTest6", kPathRevoked, 0},
    {"ValiddistributionPointTest7", kPathValid, -1},
    {"InvaliddistributionPointTest8", kPathRevocationListRefused, 0},
    {"InvaliddistributionPointTest9", kPathRevocationListRefused, 0},
    {"ValidNoissuingDistributionPointTest10", kPathValid, -1},
    // The end certificates of 11 and 13 are CA certificates: a list's scope goes by cA.
    {"InvalidonlyContainsUserCertsTest11", kPathRevocationListRefused, 0},
    {"InvalidonlyContainsCACertsTest12", kPathRevocationListRefused, 0},
    {"ValidonlyContainsCACertsTest13", kPathValid, -1},
    {"InvalidonlyContainsAttributeCertsTest14", kPathRevocationListRefused, 0},
    // 4.16 Private certificate extensions
    {"ValidUnknownNotCriticalCertificateExtensionTest1", kPathValid, -1},
    {"InvalidUnknownCriticalCertificateExtensionTest2", kPathUnknownCriticalExtension, 0},
};

}  // namespace pkits
