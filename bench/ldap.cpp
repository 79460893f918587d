// A stream of 10,000 SearchResultEntry messages (5 attributes, 2-3 values each) framed,
// decoded, read field by field and encoded again: the LDAP message classes beside OpenLDAP's
// liblber (ber_init/ber_scanf reading the same fields, ber_printf writing them back).
#include <benchmark/benchmark.h>
#include <lber.h>

#include <string>
#include <vector>

#include "vorlan/ldap/framing.h"
#include "vorlan/ldap/requests.h"
#include "vorlan/ldap/values.h"

namespace {

constexpr int kEntries = 10000;
constexpr unsigned long kMaxPdu = 1 << 20;

CASN1_OCTET_STRING* text(const std::string& value) {
    return new CASN1_OCTET_STRING(reinterpret_cast<const unsigned char*>(value.data()), value.size());
}

std::unique_ptr<CASN1_SearchResultEntry> entry(int n) {
    const std::string id = std::to_string(n);
    const std::vector<std::pair<std::string, std::vector<std::string>>> attributes = {
        {"objectClass", {"top", "person", "inetOrgPerson"}},
        {"cn", {"User " + id, "U" + id}},
        {"sn", {"Surname" + id, "S" + id}},
        {"mail", {"user" + id + "@example.com", "u" + id + "@example.org", "user." + id + "@example.net"}},
        {"description", {"Member of the benchmark population, number " + id, "bench"}},
    };
    auto result = std::make_unique<CASN1_SearchResultEntry>();
    result->AddObject(text("cn=User " + id + ",ou=people,dc=example,dc=com"));
    auto* list = new CASN1_PartialAttributeList;
    result->AddObject(list);
    for (const auto& [type, values] : attributes) {
        auto* attribute = new CASN1_PartialAttribute;
        list->AddObject(attribute);
        attribute->AddObject(text(type));
        auto* set = new CASN1_SetOfLDAPAttributeValue;
        attribute->AddObject(set);
        for (const std::string& value : values) set->AddObject(text(value));
    }
    return result;
}

const std::vector<unsigned char>& stream() {
    static const std::vector<unsigned char> octets = [] {
        std::vector<unsigned char> all;
        for (int n = 0; n < kEntries; ++n) {
            CByteArray pdu;
            BuildLDAPMessage(n + 1, entry(n))->encodeTo(pdu);
            all.insert(all.end(), pdu.GetData(), pdu.GetData() + pdu.GetSize());
        }
        return all;
    }();
    return octets;
}

// Octets of the fields read and of the messages written, the same for both sides.
size_t vorlanPass(const std::vector<unsigned char>& octets) {
    size_t total = 0;
    for (size_t at = 0; at < octets.size();) {
        const unsigned long n = FrameLength(octets.data() + at, octets.size() - at, kMaxPdu);
        const auto message = DecodeLDAPMessage(octets.data() + at, n);
        const CASN1_SearchResultEntry& found = message->get_protocolOp().get_searchResEntry();
        total += LDAPOctets(found.get_objectName()).size();
        const CASN1_PartialAttributeList& list = found.get_attributes();
        for (int i = 0; i < list.getComponentCount(); ++i) {
            const CASN1_PartialAttribute& attribute = list.getComponent(i);
            total += LDAPOctets(attribute.get_type()).size();
            const CASN1_SetOfLDAPAttributeValue& values = attribute.get_vals();
            for (int k = 0; k < values.getComponentCount(); ++k) total += LDAPOctets(values.getComponent(k)).size();
        }
        CByteArray written;
        message->encodeTo(written);
        total += static_cast<size_t>(written.GetSize());
        at += n;
    }
    return total;
}

struct LberAttribute {
    berval type;
    std::vector<berval> values;
};

size_t lberPass(const std::vector<unsigned char>& octets, std::vector<LberAttribute>& attributes) {
    size_t total = 0;
    for (size_t at = 0; at < octets.size();) {
        const unsigned long n = FrameLength(octets.data() + at, octets.size() - at, kMaxPdu);
        berval in{n, reinterpret_cast<char*>(const_cast<unsigned char*>(octets.data() + at))};
        BerElement* ber = ber_init(&in);
        ber_int_t id;
        ber_tag_t operation;
        berval dn;
        ber_len_t length;
        char* cookie;
        // ber_first_element reads the header of the SEQUENCE OF / SET OF itself.
        if (ber_scanf(ber, "{it{m", &id, &operation, &dn) == LBER_ERROR) std::abort();
        total += dn.bv_len;
        size_t count = 0;
        for (ber_tag_t tag = ber_first_element(ber, &length, &cookie); tag != LBER_DEFAULT;
             tag = ber_next_element(ber, &length, cookie)) {
            if (count == attributes.size()) attributes.emplace_back();
            LberAttribute& attribute = attributes[count++];
            attribute.values.clear();
            if (ber_scanf(ber, "{m", &attribute.type) == LBER_ERROR) std::abort();
            total += attribute.type.bv_len;
            char* valueCookie;
            for (ber_tag_t v = ber_first_element(ber, &length, &valueCookie); v != LBER_DEFAULT;
                 v = ber_next_element(ber, &length, valueCookie)) {
                attribute.values.emplace_back();
                if (ber_scanf(ber, "m", &attribute.values.back()) == LBER_ERROR) std::abort();
                total += attribute.values.back().bv_len;
            }
        }

        BerElement* out = ber_alloc_t(LBER_USE_DER);
        ber_printf(out, "{it{O{", id, operation, &dn);
        for (size_t i = 0; i < count; ++i) {
            ber_printf(out, "{O[", &attributes[i].type);
            for (const berval& value : attributes[i].values) ber_printf(out, "O", &value);
            ber_printf(out, "]}");
        }
        ber_printf(out, "}}}");
        berval written;
        if (ber_flatten2(out, &written, 0) != 0) std::abort();
        total += written.bv_len;
        ber_free(out, 1);
        // The fields read with 'm' lie in the element's own copy of the message.
        ber_free(ber, 1);
        at += n;
    }
    return total;
}

void BM_SearchEntries_Vorlan(benchmark::State& state) {
    const auto& octets = stream();
    for (auto _ : state) benchmark::DoNotOptimize(vorlanPass(octets));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kEntries);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * octets.size()));
}

void BM_SearchEntries_Liblber(benchmark::State& state) {
    const auto& octets = stream();
    std::vector<LberAttribute> attributes;
    // Both sides read and write the same: the same field octets, and messages of equal sizes.
    if (lberPass(octets, attributes) != vorlanPass(octets)) state.SkipWithError("the two passes disagree");
    for (auto _ : state) benchmark::DoNotOptimize(lberPass(octets, attributes));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kEntries);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * octets.size()));
}

}  // namespace

BENCHMARK(BM_SearchEntries_Vorlan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchEntries_Liblber)->Unit(benchmark::kMillisecond);
