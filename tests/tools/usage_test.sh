#!/usr/bin/env bash
# The command line: help on standard output with status 0, usage errors on standard error with
# status 2, and nothing done on a usage error.
# shellcheck source=tool_test_support.sh
source "$(dirname "$0")/tool_test_support.sh"
register_library

for spelling in --help -h help; do
    run 0 "overview$spelling" "$spelling"
    same_bytes "overview$spelling" "overview$spelling.out" "$expected/overview.txt"
    quiet "overview$spelling" err
done

run 0 version --version
says version out "pravell 0.1.0"

run 2 nothing
same_bytes nothing nothing.err "$expected/overview.txt"
quiet nothing out

for command in register unregister format compress expand events get demo; do
    run 0 "help-$command" help "$command"
    same_bytes "help-$command" "help-$command.out" "$expected/help-$command.txt"
    run 0 "option-$command" "$command" --help
    same_bytes "option-$command" "option-$command.out" "$expected/help-$command.txt"
done

run 2 unknown frobnicate
says unknown err "pravell: unknown command: frobnicate
Try 'pravell help'."
run 2 help-unknown help frobnicate
says help-unknown err "pravell: unknown command: frobnicate
Try 'pravell help'."
run 2 help-two help format expand
says help-two err "pravell: help takes at most one command
Try 'pravell help'."

run 2 missing compress in.xml
says missing err "pravell: missing operands for compress
Usage: pravell compress IN OUT
Try 'pravell help compress'."
run 2 too-many format a.xml b.xml
says too-many err "pravell: too many operands for format
Usage: pravell format FILE|-
Try 'pravell help format'."
run 2 demo-operand demo extra
says demo-operand err "pravell: too many operands for demo
Usage: pravell demo
Try 'pravell help demo'."
run 2 option format --pretty "$input/catalog.xml"
says option err "pravell: unknown option: --pretty
Usage: pravell format FILE|-
Try 'pravell help format'."
quiet option out

run 2 dash-expand expand - out.xml
says dash-expand err "pravell: standard input and output ('-') are not supported by expand
Usage: pravell expand IN OUT
Try 'pravell help expand'."
absent dash-expand out.xml

finish
