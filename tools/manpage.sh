#!/usr/bin/env bash
# Writes the manual page vorlan.1 (roff) to standard output, made from the help texts of the
# program VORLAN alone: `--version`, `--help`, then each command's `--help` in the order the
# help lists them, so the page says what the program says.
# Usage: manpage.sh VORLAN
set -euo pipefail
vorlan=$1

# The roff of one help text (standard input) of the command PATH: its description, its usage line
# and the items of its Positionals and Options, each a tagged paragraph. CLI11 pads an item's name
# to 30 columns and starts the description in column 31, or on the next line, indented, when the
# name is longer; further lines of a description are indented the same. The top level (DEPTH 0)
# opens the page; a command is a subsection of COMMANDS, without the -h,--help every command has.
# Subcommands are left out: they follow as subsections of their own.
roff() {
  awk -v path="$1" -v depth="$2" -v version="$3" '
    function escape(text) {
      sub(/^ +/, "", text)
      gsub(/\\/, "\\e", text)
      gsub(/-/, "\\-", text)
      return text ~ /^[.\047]/ ? "\\&" text : text
    }
    function tag(name) {
      if (depth > 0 && name == "-h,--help") { skipping = 1; return }
      skipping = 0
      print ".TP"
      print "\\fB" escape(name) "\\fR"
    }
    /^Usage: / {
      if (depth == 0) {
        print ".SH SYNOPSIS"
      } else {
        print ".PP"
      }
      usage = substr($0, 8)
      print "\\fB" escape(path) "\\fR " escape(substr(usage, length(path) + 2))
      section = ""
      next
    }
    /^[A-Z][a-z]+:$/ {
      section = $0
      if (depth == 0 && section == "Options:") print ".SH OPTIONS"
      next
    }
    /^$/ { next }
    section == "" && NR == 1 && depth == 0 {  # the description of the program names the page
      print ".TH VORLAN 1 \"\" \"" escape(version) "\" \"User Commands\""
      print ".nh"  # options and names are not hyphenated
      print ".SH NAME"
      sub(/^vorlan: /, "")
      print "vorlan \\- " escape($0)
      next
    }
    section == "" && NR == 1 { print ".SS \"" escape(path) "\"" }
    section == "Subcommands:" { next }
    /^  [^ ]/ {
      if (length($0) > 30 && substr($0, 30, 1) == " " && substr($0, 31, 1) != " ") {
        name = substr($0, 1, 30)
        sub(/ +$/, "", name)
        tag(substr(name, 3))
        if (!skipping) print escape(substr($0, 31))
      } else {
        tag(substr($0, 3))
      }
      next
    }
    !skipping { print escape($0) }
    END { if (depth == 0) print ".SH COMMANDS" }
  '
}

# The help of the command named by the arguments, then that of each of its subcommands.
page() {
  local help
  help=$("$vorlan" "$@" --help)
  roff "vorlan${*:+ $*}" $# "$version" <<<"$help"
  local sub
  for sub in $(awk '/^[A-Z][a-z]+:$/ { section = $0; next } section == "Subcommands:" && /^  [^ ]/ { print $1 }' \
                 <<<"$help"); do
    page "$@" "$sub"
  done
}

version=$("$vorlan" --version)
page
