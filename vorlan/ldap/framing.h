/// \file
/// LDAP messages off a TCP stream: where one message ends, and its message ID and operation
/// read straight from the octets, so a client can route or skip a message the tables do not know.
#pragma once

/// Octets of the message at the front of `available` octets once all of them are there, 0
/// until then; the decoding exception when the stream does not start with a SEQUENCE, uses the
/// indefinite length, or announces a message longer than `maxPdu` (checked from the header on).
unsigned long FrameLength(const unsigned char* p, unsigned long available, unsigned long maxPdu);

/// Elements a decoded message may hold, at every depth. Each becomes a value of some 150 octets, so a
/// message of 10 MB in one-octet attributes would take 600 MB; at this bound a message takes at most
/// some 170 MB, and an entry with a million values still decodes.
inline constexpr unsigned long kMaxLDAPMessageElements = 1UL << 20;

/// The decoding exception when the one message in `size` octets holds more than `maxElements`
/// elements, counted from the headers alone before anything is decoded.
void CheckLDAPElementCount(const unsigned char* p, unsigned long size, unsigned long maxElements);

/// The value of the contents octets of a MessageID INTEGER: 1 for 0 to 2^31-1 written in as few
/// octets as BER allows, else 0 (negative, empty, over-long or padded).
int ReadLDAPMessageID(const unsigned char* contents, unsigned long length, unsigned long& value);

/// The messageID of one whole message (0 to 2^31-1, RFC 4511); the decoding exception for a
/// negative, empty, over-long or non-minimal INTEGER.
unsigned long GetMessageID(const unsigned char* p, unsigned long size);

/// The identifier octet (constructed bit cleared) of the operation of one whole message.
unsigned char GetOperationTag(const unsigned char* p, unsigned long size);
