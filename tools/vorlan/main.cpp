// vorlan: the library at work from a shell.
#include <cstdio>

#include "tools/vorlan/cli.h"

int main(int argc, char** argv) {
    CLI::App app(
        "vorlan: ASN.1/DER, digests, symmetric ciphers, RSA, certificates, revocation lists, requests, S/MIME, "
        "key stores and LDAP from the vorlan library",
        "vorlan");
    app.set_version_flag("--version", "vorlan " VORLAN_VERSION);  // the project's version, from CMake
    app.require_subcommand(1);
    cli::AddDemoCommand(app);
    cli::AddDumpCommand(app);
    cli::AddDigestCommand(app);
    cli::AddCryptCommands(app);
    cli::AddKeyCommands(app);
    cli::AddCertCommands(app);
    cli::AddCrlCommands(app);
    cli::AddReqCommands(app);
    cli::AddSmimeCommands(app);
    cli::AddKeystoreCommands(app);
    cli::AddLdapCommands(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    } catch (const cli::Exit& e) {
        return e.status;
    } catch (const cli::Failure& e) {
        std::fprintf(stderr, "vorlan: %s\n", e.what());
        return 1;
    } catch (CException* e) {
        std::fprintf(stderr, "vorlan: %s\n", cli::Describe(e).c_str());
        return 1;
    }
    return 0;
}
