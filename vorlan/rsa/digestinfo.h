/// \file
/// Digest algorithms of RSA signatures.
#pragma once

/// The digest algorithms of RSA signatures, as the DigestInfo prefixes know them.
enum EDigestAlgorithm { md2 = 1, md5 = 2, sha1 = 3, sha256 = 4, sha384 = 5, sha512 = 6 };
