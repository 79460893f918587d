// Key store records and stores: private and public records, built, decoded and made of plain
// values, round-trip through DER with every getter; records refused when built or added rather
// than when read back; hostile stores.
#include "vorlan/store/keystore.h"

#include "tests/common/exceptions.h"
#include "tests/x509/peer.h"
#include "vorlan/rsa/rsakeypair.h"
#include "vorlan/x509/certificate.h"
#include "vorlan/x509/publickey.h"

using namespace x509test;

namespace {

using CRecord = CASN1_RSAKeyWithCertsAndDistinguishedName;

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

CASN1_KCDNs Decoded(const Octets& der) {
    return OnEncoding(der, [](CDEREncoding& e) { return CASN1_KCDNs(e); });
}

// Records in a store as built and as decoded, a record decoded on its own, one put together with
// AddObject from the plain values the decoder makes, and one of a store decoded as a plain SEQUENCE
// OF: each getter answers by the structure and refuses where the record cannot.
TEST(KeyStore, RecordsRoundTripThroughDerWithTypedAccess) {
    const CDistinguishedName owner("owner@example.com");
    auto mine = std::make_unique<CRecord>(Key(), CString("mine"), &owner);
    mine->AddCertificate(SelfSigned("a@example.com"));
    mine->AddCertificate(SelfSigned("b@example.com"));
    const Octets record = Encoded(*mine);
    CASN1_KCDNs built;
    built.AddObject(mine.release());
    built.AddObject(new CRecord(static_cast<const CRSAPublicKey&>(Key()), CString("theirs"), nullptr));
    const Octets der = Encoded(built);
    CASN1_KCDNs decoded = Decoded(der), ofPlain;
    CRecord alone, assembled, theirsAlone;
    Decode(alone, record);
    const std::unique_ptr<CASN1Type> plain = Built(record);
    const auto& parts = dynamic_cast<const CASN1_CONSTRUCTED_TYPE&>(*plain);
    for (int i = 0; i < parts.GetCount(); ++i) assembled.AddObject(parts.GetComponent(i).clone());
    Decode(ofPlain, Seq({record}));
    Decode(theirsAlone, Encoded(built.GetRecord(1)));
    for (const CASN1_KCDNs* store : {&built, &decoded}) {
        ASSERT_EQ(store->GetCount(), 2);
        EXPECT_TRUE(store->FindRecord("mine") == 0 && store->FindRecord("theirs") == 1 && store->FindRecord("nobody") == -1);
    }
    for (const CRecord* mine : {&built.GetRecord(0), &decoded.GetRecord(0), &alone, &assembled, &ofPlain.GetRecord(0)}) {
        ASSERT_TRUE(mine->IsPrivateKey() && mine->IsDistinguishedName());
        CRSAPrivateKey privateKey;
        mine->GetPrivateKey(privateKey);
        EXPECT_EQ(0, std::memcmp(privateKey.coefficient, Key().coefficient, sizeof privateKey.coefficient));
        EXPECT_EQ(0, std::memcmp(privateKey.privateExponent, Key().privateExponent, sizeof privateKey.privateExponent));
        CRSAPublicKey publicKey;
        mine->GetPublicKey(publicKey);
        EXPECT_TRUE(publicKey == Key());
        CDistinguishedName read;
        mine->GetDistinguishedName(read);
        EXPECT_TRUE(read == owner);
        ASSERT_EQ(mine->GetCertificateCount(), 2);
        CCertificate second;
        mine->GetCertificate(1).SetDataTo(second);
        EXPECT_TRUE(second.m_subject == CDistinguishedName("b@example.com") && second.IsSignatureOKFor(Key()));
        EXPECT_TRUE(Refused([&] { mine->GetCertificate(2); }));
        EXPECT_EQ(Encoded(*mine), record);
    }
    for (const CRecord* theirs : {&built.GetRecord(1), &decoded.GetRecord(1), &theirsAlone}) {
        EXPECT_FALSE(theirs->IsPrivateKey() || theirs->IsDistinguishedName());
        CRSAPublicKey publicKey;
        theirs->GetPublicKey(publicKey);
        EXPECT_TRUE(publicKey == Key());
        CRSAPrivateKey privateKey;
        EXPECT_TRUE(Refused([&] { theirs->GetPrivateKey(privateKey); }));
        CDistinguishedName read;
        EXPECT_TRUE(Refused([&] { theirs->GetDistinguishedName(read); }));
        EXPECT_EQ(theirs->GetCertificateCount(), 0);
    }
    EXPECT_EQ(Encoded(decoded), der);
    EXPECT_EQ(Encoded(CASN1_KCDNs(decoded)), der);
    decoded.RemoveRecord(0);
    EXPECT_EQ(decoded.FindRecord("theirs"), 0);
    EXPECT_TRUE(Refused([&] { decoded.RemoveRecord(1); }));
    for (std::size_t cut = 0; cut < der.size(); cut += 7)
        EXPECT_TRUE(Refused([&] { Decoded(Octets(der.begin(), der.begin() + cut)); })) << cut;
}

// What the library could not read back is refused before it reaches a store, and leaves no
// record behind; stores with one bad record fail to decode.
TEST(KeyStore, RecordsThatWouldNotReadBackAreRefused) {
    EXPECT_TRUE(Refused([] { CRecord(Key(), CString(""), nullptr); }));
    CRecord record(Key(), CString("k"), nullptr);
    EXPECT_TRUE(Refused([&] { record.AddCertificate(new CASN1_Certificate); }));
    CASN1_KCDNs store;
    EXPECT_TRUE(Refused([&] { store.AddObject(new CASN1_SEQUENCE); }));
    // An owner whose name cannot be written: a Latin-1 value the PrintableString cannot hold.
    CAttributeValue latin1(dnCommonName, "x");
    latin1.m_strValue = "J\xFCrgen";
    CDistinguishedName unwritable;
    unwritable.Add(new CRelativeDN);
    unwritable[0]->Add(new CAttributeValue(latin1));
    EXPECT_TRUE(Refused([&] { store.AddObject(new CRecord(Key(), CString("k"), &unwritable)); }));
    EXPECT_EQ(store.GetCount(), 0);

    const Octets v0 = FromHex("020100"), key = Encoded(CASN1_PublicKey(Key())), name = FromHex("04016b"),
                 none = FromHex("3000"), good = Seq({v0, key, name, none});
    const std::tuple<const char*, Octets> rows[] = {
        {"version 1", Seq({FromHex("020101"), key, name, none})},
        {"empty name", Seq({v0, key, FromHex("0400"), none})},
        {"certificate not a certificate", Seq({v0, key, name, FromHex("30023000")})},
        {"owner not a name", Seq({v0, key, name, none, FromHex("0500")})},
        {"component after the owner", Seq({v0, key, name, none, FromHex("3000"), none})},
        {"certificates missing", Seq({v0, key, name})},
    };
    for (const auto& [reason, bad] : rows) {
        const Octets stored = Seq({good, bad});
        EXPECT_EQ(MessageOf<CDERDecodingException>([&] { Decoded(stored); }), "CASN1_KCDNs contents is not valid")
            << reason;
    }
    EXPECT_EQ(Decoded(Seq({good, good})).GetCount(), 2);
}

}  // namespace
