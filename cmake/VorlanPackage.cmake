# cpack (or the target "package") makes two Debian packages from the components of the install rules:
# vorlan, the program and its manual page, and libvorlan-dev, the public headers, the static and the
# shared library, the CMake package and vorlan.pc.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "vorlan maintainers <maintainers@vorlan.example>")

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME vorlan)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION
    "command-line program of the vorlan cryptography and ASN.1 library
The vorlan program shows, verifies and signs X.509 certificates, revocation lists and PKCS #10
requests, signs, verifies, encrypts and decrypts PKCS #7 messages as openssl smime does, keeps RSA
keys and their certificates in a password-protected key store, prints digests, encrypts files
as openssl enc does, decodes any DER and talks to LDAP servers. `vorlan demo` walks through the
library end to end.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libvorlan-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_DESCRIPTION
    "C++20 cryptography and ASN.1 class library for mail and directory clients
vorlan holds a typed ASN.1 value model with a streaming DER codec, X.509 certificates and
revocation lists, PKCS #7 messages and PKCS #10 requests, RSA on its own big-number arithmetic,
AES, DES, triple DES, IDEA, RC2 and RC5, MD2 to SHA-512, an encrypted file stream and key store,
and an LDAP v3 message codec. It depends on the C++ standard library and POSIX only.
This package holds the public headers, the static and the shared library, the CMake package
(find_package(vorlan) gives vorlan::vorlan) and vorlan.pc for pkg-config.")

# The packages depend on the C and C++ runtime: as dpkg-shlibdeps finds it from the binaries (with
# the versions they need), or else named plainly.
find_program(VORLAN_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(VORLAN_FILE file)
if(VORLAN_DPKG_SHLIBDEPS AND VORLAN_FILE)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()
include(CPack)
