# Installs the Debian packages the build, the tests and the demonstration need; sourced by the other scripts.
vorlan_packages=(cmake g++ make libgtest-dev libbenchmark-dev libssl-dev openssl libcli11-dev pkg-config
                 clang libclang-rt-14-dev python3 python3-cryptography python3-cryptography-vectors
                 slapd libldap-dev valgrind)
# The LDAP tests start slapd themselves from a temporary configuration: the package installs unconfigured.
command -v npm >/dev/null 2>&1 || vorlan_packages+=(npm)
vorlan_missing=()
for package in "${vorlan_packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || vorlan_missing+=("$package")
done
if ((${#vorlan_missing[@]})); then
  echo "installing: ${vorlan_missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  echo "slapd slapd/no_configuration boolean true" | "${sudo_cmd[@]}" debconf-set-selections
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${vorlan_missing[@]}"
fi
