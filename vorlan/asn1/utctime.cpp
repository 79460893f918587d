#include "vorlan/asn1/utctime.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_UTCTime, CASN1_CONSTRUCTED_TYPE)

namespace {

bool digits(const unsigned char* text, int first, int count) {
    for (int i = first; i < first + count; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

bool zone(unsigned char c) { return c == '+' || c == '-' || c == 'Z'; }

}  // namespace

int CASN1_UTCTime::isValid(const CASN1Type* value, int anyTag) {
    if (!anyTag && value->identifier != 0x17) return 0;
    const unsigned long n = value->getClearContentsLength();
    if (n != 11 && n != 13 && n != 15 && n != 17) return 0;
    unsigned char text[17];
    if (!value->GetClearData(text, n, 1, 0)) return 0;
    // Seconds present in the 13- and 17-octet forms; a zone differential in the 15- and 17-octet forms.
    const int zoneAt = (n == 13 || n == 17) ? 12 : 10;
    if (!digits(text, 0, zoneAt) || !zone(text[zoneAt])) return 0;
    return n < 15 || digits(text, zoneAt + 1, 4);
}
