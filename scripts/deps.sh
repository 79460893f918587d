# The Debian packages the scripts need and their installation; sourced by the other scripts.
# What building the library and the program needs, and all the demonstration needs:
vorlan_build_packages=(cmake g++ make libcli11-dev)
# What the test command needs besides: the tests and their peers, the benchmarks, the sanitizer and
# fuzzing compiler, the tools that make and check the Debian packages and the manual page, and
# doxygen for the reference.
vorlan_test_packages=(libgtest-dev libbenchmark-dev libssl-dev openssl pkg-config clang libclang-rt-14-dev
                      python3 python3-cryptography python3-cryptography-vectors slapd libldap-dev valgrind
                      dpkg-dev file groff-base doxygen)
command -v npm >/dev/null 2>&1 || vorlan_test_packages+=(npm)

# Installs those of the packages named that are missing, saying which in one line. apt-get's
# output goes to a log file, named when the installation fails and removed when it succeeds.
vorlan_install() {
  local missing=() package
  for package; do
    [ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" = "install ok installed" ] || missing+=("$package")
  done
  ((${#missing[@]})) || return 0
  echo "installing ${missing[*]} (apt-get)"
  local sudo_cmd=() log
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  log=$(mktemp "${TMPDIR:-/tmp}/vorlan-apt.XXXXXX")
  if ! {
    # The LDAP tests start slapd themselves from a temporary configuration: it installs unconfigured.
    if [[ " ${missing[*]} " == *" slapd "* ]]; then
      echo "slapd slapd/no_configuration boolean true" | "${sudo_cmd[@]}" debconf-set-selections
    fi &&
      "${sudo_cmd[@]}" apt-get update -qq &&
      "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  } >"$log" 2>&1; then
    echo "installing ${missing[*]} failed; apt-get's output is in $log" >&2
    return 1
  fi
  rm -f "$log"
}
