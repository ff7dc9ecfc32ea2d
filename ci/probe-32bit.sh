# shellcheck shell=bash
# Sourced by the CI scripts: asks the kernel, before anything is installed,
# whether this machine runs 32-bit programs. It builds a static i386 program
# of three instructions with binutils (which the native toolchain brings) and
# runs it; it needs nothing from Wine, so the answer does not depend on which
# packages could be installed.
# Sets and exports:
#   IZ_WINE32_RUNS    yes | no | unknown (the probe could not be built or run)
#   IZ_WINE32_REASON  the kernel's refusal, or why the probe could not be built
# A caller that has the answer already (exported) is not asked again.
if [ -z "${IZ_WINE32_RUNS:-}" ]; then
    iz_probe_dir=$(mktemp -d)
    printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' \
        > "$iz_probe_dir/probe.s"
    if ! iz_probe_out=$( { as --32 -o "$iz_probe_dir/probe.o" "$iz_probe_dir/probe.s" &&
            ld -m elf_i386 -o "$iz_probe_dir/probe32" "$iz_probe_dir/probe.o"; } 2>&1); then
        IZ_WINE32_RUNS=unknown
        IZ_WINE32_REASON="the 32-bit probe could not be built: $(printf '%s' "$iz_probe_out" | tail -n 1)"
    elif iz_probe_out=$("$iz_probe_dir/probe32" 2>&1); then
        IZ_WINE32_RUNS=yes
        IZ_WINE32_REASON=""
    else
        # bash words the kernel's refusal (ENOEXEC) as its own message; the
        # last part of it is the kernel's reason. Any other failure (a temp
        # folder mounted noexec, say) says nothing about 32-bit programs.
        iz_probe_out=$(printf '%s' "$iz_probe_out" | tail -n 1)
        case "$iz_probe_out" in
            *"Exec format error"*)
                IZ_WINE32_RUNS=no
                IZ_WINE32_REASON="the kernel refuses 32-bit programs (${iz_probe_out##*: })" ;;
            *)
                IZ_WINE32_RUNS=unknown
                IZ_WINE32_REASON="the 32-bit probe did not run: ${iz_probe_out:-exit status not 0}" ;;
        esac
    fi
    rm -rf "$iz_probe_dir"
    unset iz_probe_dir iz_probe_out
fi
export IZ_WINE32_RUNS IZ_WINE32_REASON
