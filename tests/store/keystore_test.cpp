// Key store records and stores: round trips through DER and through an encrypted stream,
// records refused when built or added rather than when read back, hostile stores.
#include "vorlan/store/keystore.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/common/exceptions.h"
#include "tests/store/store_test_util.h"
#include "tests/x509/peer.h"
#include "vorlan/rsa/rsakeypair.h"
#include "vorlan/x509/certificate.h"
#include "vorlan/x509/publickey.h"

using namespace store_test;
using x509test::Seq;

namespace {

using CRecord = CASN1_RSAKeyWithCertsAndDistinguishedName;

// Whether the action raises the decoding exception.
template <class Action>
bool Refused(Action&& action) {
    return MessageOf<CDERDecodingException>(action) != kNoException;
}

const CRSAKeyPair& Key() {
    static const CRSAKeyPair key(512, 1, nullptr, 0, nullptr);
    return key;
}

CASN1_Certificate* SelfSigned(const char* email) {
    CCertificate certificate;
    certificate.m_subject = certificate.m_issuer = CDistinguishedName(email);
    certificate.GetDataFrom(Key());
    certificate.SignWith(Key());
    return new CASN1_Certificate(certificate);
}

// A store of a private record (owner, two certificates) and a public one (neither).
CASN1_KCDNs SampleStore() {
    const CDistinguishedName owner("owner@example.com");
    auto mine = std::make_unique<CRecord>(Key(), CString("mine"), &owner);
    mine->AddCertificate(SelfSigned("a@example.com"));
    mine->AddCertificate(SelfSigned("b@example.com"));
    CASN1_KCDNs store;
    store.AddObject(mine.release());
    store.AddObject(new CRecord(static_cast<const CRSAPublicKey&>(Key()), CString("theirs"), nullptr));
    return store;
}

Bytes Encoded(const CASN1Type& value) {
    CByteArray der;
    value.encodeTo(der);
    return Bytes(der.GetData(), der.GetData() + der.GetSize());
}

CASN1_KCDNs Decoded(const Bytes& octets) {
    // A shared encoding: the decoded values keep their own references to it.
    auto* der =
        new CDEREncoding(1, const_cast<unsigned char*>(octets.data()), static_cast<unsigned long>(octets.size()), 0, 1);
    der->AddRef();
    struct Release {
        CDEREncoding* der;
        ~Release() { der->Release(); }
    } release{der};
    return CASN1_KCDNs(*der);
}

// Each getter works on both record forms where it can and refuses where it cannot.
void ExpectSampleRecords(const CASN1_KCDNs& store) {
    ASSERT_EQ(store.GetCount(), 2);
    const CRecord& mine = store.GetRecord(store.FindRecord("mine"));
    const CRecord& theirs = store.GetRecord(store.FindRecord("theirs"));
    EXPECT_EQ(store.FindRecord("nobody"), -1);
    EXPECT_TRUE(mine.IsPrivateKey() && mine.IsDistinguishedName());
    EXPECT_FALSE(theirs.IsPrivateKey() || theirs.IsDistinguishedName());
    CRSAPrivateKey privateKey;
    mine.GetPrivateKey(privateKey);
    EXPECT_EQ(0, std::memcmp(privateKey.coefficient, Key().coefficient, sizeof privateKey.coefficient));
    CRSAPublicKey fromPrivate, fromPublic;
    mine.GetPublicKey(fromPrivate);
    theirs.GetPublicKey(fromPublic);
    EXPECT_TRUE(fromPrivate == Key() && fromPublic == Key());
    EXPECT_TRUE(Refused([&] { theirs.GetPrivateKey(privateKey); }));
    CDistinguishedName owner;
    mine.GetDistinguishedName(owner);
    EXPECT_TRUE(owner == CDistinguishedName("owner@example.com"));
    EXPECT_TRUE(Refused([&] { theirs.GetDistinguishedName(owner); }));
    ASSERT_EQ(mine.GetCertificateCount(), 2);
    CCertificate second;
    mine.GetCertificate(1).SetDataTo(second);
    EXPECT_TRUE(second.m_subject == CDistinguishedName("b@example.com") && second.IsSignatureOKFor(Key()));
    EXPECT_TRUE(Refused([&] { mine.GetCertificate(2); }));
    EXPECT_EQ(theirs.GetCertificateCount(), 0);
}

TEST(KeyStore, RecordsRoundTripThroughDerWithTypedAccess) {
    const CASN1_KCDNs built = SampleStore();
    ExpectSampleRecords(built);
    const Bytes der = Encoded(built);
    CASN1_KCDNs back = Decoded(der);
    ExpectSampleRecords(back);
    EXPECT_EQ(Encoded(back), der);
    const CASN1_KCDNs copy(back);
    EXPECT_EQ(Encoded(copy), der);
    back.RemoveRecord(0);
    EXPECT_EQ(back.GetCount(), 1);
    EXPECT_EQ(back.FindRecord("theirs"), 0);
    EXPECT_TRUE(Refused([&] { back.RemoveRecord(1); }));
}

// The natural place of a store: DER records in an encrypted stream, read back after reopening.
TEST(KeyStore, StoreKeptInAnEncryptedStreamReopens) {
    auto proc = TripleDes();
    CMemFile file;
    const Bytes der = Encoded(SampleStore());
    CCryptoFile(&file, *proc, 256, FALSE).Write(der.data(), static_cast<UINT>(der.size()));
    ExpectSampleRecords(Decoded(OpenAndReadAll(Contents(file), *proc, 256)));
}

// What the library could not read back is refused before it reaches a store.
TEST(KeyStore, RecordsThatWouldNotReadBackAreRefusedWhenBuiltOrAdded) {
    EXPECT_TRUE(Refused([] { CRecord(Key(), CString(""), nullptr); }));
    CRecord record(Key(), CString("k"), nullptr);
    EXPECT_TRUE(Refused([&] { record.AddCertificate(new CASN1_Certificate); }));
    CASN1_KCDNs store;
    EXPECT_TRUE(Refused([&] { store.AddObject(new CASN1_SEQUENCE); }));
    EXPECT_EQ(store.GetCount(), 0);
}

Bytes PublicKeyDer() { return Encoded(CASN1_PublicKey(Key())); }

// A record's DER: version, key, name, certificates, optional owner.
Bytes Record(const Bytes& version, const Bytes& name, const Bytes& certificates, const Bytes& extra = {}) {
    return Seq({version, PublicKeyDer(), name, certificates, extra});
}

TEST(KeyStore, StoresWithOneBadRecordOrCutShortFailToDecode) {
    const Bytes v0 = FromHex("020100"), name = FromHex("04016b"), none = FromHex("3000");
    const Bytes good = Record(v0, name, none);
    const std::tuple<const char*, Bytes> rows[] = {
        {"version 1", Record(FromHex("020101"), name, none)},
        {"empty name", Record(v0, FromHex("0400"), none)},
        {"certificate not a certificate", Record(v0, name, FromHex("30023000"))},
        {"owner not a name", Record(v0, name, none, FromHex("0500"))},
        {"component after the owner", Seq({v0, PublicKeyDer(), name, none, FromHex("3000"), none})},
        {"certificates missing", Seq({v0, PublicKeyDer(), name})},
    };
    for (const auto& [reason, bad] : rows) {
        EXPECT_EQ(MessageOf<CDERDecodingException>([&, &bad = bad] {
                      Decoded(Seq({good, bad}));
                  }),
                  "CASN1_KCDNs contents is not valid")
            << reason;
    }
    EXPECT_EQ(Decoded(Seq({good, good})).GetCount(), 2);
    const Bytes whole = Encoded(SampleStore());
    for (std::size_t cut = 0; cut < whole.size(); cut += 7)
        EXPECT_TRUE(Refused([&] { Decoded(Bytes(whole.begin(), whole.begin() + cut)); })) << cut;
}

}  // namespace
