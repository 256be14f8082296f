#!/usr/bin/env bash
# Runs a command in a small Linux VM whose cameras are the kernel's own virtual camera driver,
# vivid (two instances), and prints its output; exits with the command's status.
#
#   scripts/v4l2-vm.sh [COMMAND [ARG...]]
#
# The VM boots Debian's current kernel (linux-image-amd64's dependency, downloaded once and kept
# under build/v4l2-vm/) from an initramfs that loads vivid, the 9p modules and v4l2loopback (built
# once for that kernel from Debian's v4l2loopback-dkms against its headers, kept there too: node
# /dev/video10, card "mjpg-webcam", a camera once a writer feeds it), sees the host's
# files read-only at the same paths (build/ read-write; /tmp and /run are its own, though a
# repository checked out there is still seen), has its own
# /dev, /proc and /sys, and runs COMMAND from the repository root. With no COMMAND it runs the V4L2
# device suites of build/linux-v4l2 (tests/v4l2/run_device_suites.sh).
#
# Environment:
#   LUMICAP_VM_TIMEOUT  seconds the VM may run before it is stopped (default 600)
#   LUMICAP_VM_CPUS     virtual CPUs (default 2)
#   LUMICAP_VM_MEMORY   memory in MiB (default 1024)
#   LUMICAP_VM_ACCEL    auto (KVM when it works here, else TCG), kvm or tcg (default auto)
#
# Exit status: the command's; 124 when the time ran out; 125 when the VM could not run it (the
# kernel's console is kept in build/v4l2-vm/console.log).
set -euo pipefail

# What runs when no command is given.
default_command=(sh tests/v4l2/run_device_suites.sh)

# The guest's modules, each loaded after its dependencies, with its parameters.
modules=(
    "virtio_pci"
    "9pnet_virtio"
    "9p"
    "vivid n_devs=2"
)

packages=(qemu-system-x86 busybox-static kmod cpio v4l-utils)

root="$(cd "$(dirname "$0")/.." && pwd)"
cache="$root/build/v4l2-vm"
console_log="$cache/console.log"
timeout_seconds=${LUMICAP_VM_TIMEOUT:-600}
cpus=${LUMICAP_VM_CPUS:-2}
memory=${LUMICAP_VM_MEMORY:-1024}
accel=${LUMICAP_VM_ACCEL:-auto}

say() { echo "v4l2-vm: $*" >&2; }
die() {
    say "$*"
    exit 125
}

work=
download=
# shellcheck disable=SC2317 # run by the EXIT trap
cleanup() { rm -rf ${work:+"$work"} ${download:+"$download"}; }
trap cleanup EXIT

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed$'
}

install_packages() {
    local missing=() package
    for package in "${packages[@]}"; do
        installed "$package" || missing+=("$package")
    done
    [[ ${#missing[@]} -eq 0 ]] && return
    [[ $(id -u) -eq 0 ]] || die "missing ${missing[*]}; run this script as root"
    say "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends -o Dpkg::Use-Pty=0 "${missing[@]}" >/dev/null
}

# The versioned kernel image package that linux-image-amd64 stands for.
kernel_package_name() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        awk '$1 == "Depends:" && $2 ~ /^linux-image-/ { print $2; exit }'
}

# Downloads and unpacks the kernel package once, into the directory named by tree.
tree=
unpack_kernel() {
    local name
    name=$(kernel_package_name)
    if [[ -z "$name" ]]; then
        apt-get update -qq
        name=$(kernel_package_name)
    fi
    [[ -n "$name" ]] || die "apt knows no linux-image-amd64 package"
    tree="$cache/$name"
    [[ -e "$tree/.unpacked" ]] && return
    say "downloading $name"
    rm -rf "$tree"
    download=$(mktemp -d "$cache/download.XXXXXX")
    # apt drops root for the download and needs a directory its own user can write into.
    if id _apt >/dev/null 2>&1; then chown _apt "$download"; fi
    (cd "$download" && apt-get download -qq "$name") || die "cannot download $name"
    mkdir -p "$download/tree"
    dpkg-deb -x "$download"/*.deb "$download/tree"
    # A package that keeps its modules under /usr/lib is read through the /lib path as well.
    if [[ ! -d "$download/tree/lib/modules" && -d "$download/tree/usr/lib/modules" ]]; then
        ln -s usr/lib "$download/tree/lib"
    fi
    touch "$download/tree/.unpacked"
    mv "$download/tree" "$tree"
    rm -rf "$download"
    download=
}

# v4l2loopback for the guest's kernel, built once: Debian's source package against the kernel's own
# headers. Prints the module's path.
loopback_module() {
    local version=$1 module="$cache/v4l2loopback-$1.ko" source dirs
    if [[ ! -e "$module" ]]; then
        if ! installed "linux-headers-$version"; then
            say "installing linux-headers-$version"
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends -o Dpkg::Use-Pty=0 \
                "linux-headers-$version" >/dev/null || die "cannot install linux-headers-$version"
        fi
        source="$work/loopback"
        mkdir -p "$source"
        if id _apt >/dev/null 2>&1; then chown _apt "$source"; fi
        (cd "$source" && apt-get download -qq v4l2loopback-dkms) || die "cannot download v4l2loopback-dkms"
        dpkg-deb -x "$source"/v4l2loopback-dkms_*.deb "$source/tree"
        dirs=("$source"/tree/usr/src/v4l2loopback-*)
        say "building v4l2loopback for $version"
        make -s -C "/usr/src/linux-headers-$version" M="${dirs[0]}" modules >/dev/null 2>&1 ||
            die "cannot build v4l2loopback for $version"
        cp "${dirs[0]}/v4l2loopback.ko" "$module.partial"
        mv "$module.partial" "$module"
    fi
    echo "$module"
}

kernel_version() {
    local tree=$1 vmlinuz
    for vmlinuz in "$tree"/boot/vmlinuz-*; do
        [[ -e "$vmlinuz" ]] || die "no kernel image in $tree/boot"
        echo "${vmlinuz##*/vmlinuz-}"
        return
    done
}

# Copies one module into the initramfs, uncompressed (busybox's insmod takes plain .ko files).
copy_module() {
    local from=$1 to=$2
    case "$from" in
        *.ko) cp "$from" "$to" ;;
        *.ko.xz) xz -dc "$from" >"$to" ;;
        *.ko.zst) zstd -qdc "$from" >"$to" ;;
        *.ko.gz) gzip -dc "$from" >"$to" ;;
        *) die "unknown module file $from" ;;
    esac
}

# Writes the modules (dependencies first, from the package's own modules.dep) into DIR/modules,
# with DIR/modules/order naming them in load order, each module asked for with its parameters.
stage_modules() {
    local tree=$1 version=$2 dir=$3 entry name params dependencies path file
    local -A staged=()
    [[ -e "$tree/lib/modules/$version/modules.dep" ]] || depmod -b "$tree" "$version"
    mkdir -p "$dir/modules"
    : >"$dir/modules/order"
    for entry in "${modules[@]}"; do
        read -r name params <<<"$entry"
        dependencies=$(modprobe -d "$tree" -S "$version" --show-depends "$name" | grep '^insmod ') ||
            die "module $name is not in kernel $version"
        while read -r _ path; do
            [[ -z "${staged[$path]:-}" ]] || continue
            staged[$path]=1
            file=${path##*/}
            file=${file%%.ko*}.ko
            copy_module "$path" "$dir/modules/$file"
            # modprobe lists the module itself last, after what it needs.
            if [[ "$path" == "$(tail -n 1 <<<"$dependencies" | awk '{ print $2 }')" ]]; then
                echo "$file $params" >>"$dir/modules/order"
            else
                echo "$file" >>"$dir/modules/order"
            fi
        done <<<"$dependencies"
    done
}

# The guest's first and only process: mounts, modules, the command, its status on the console.
write_init() {
    local file=$1
    cat >"$file" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
EOF
    printf 'repo=%q\n' "$root" >>"$file"
    cat >>"$file" <<'EOF'
finish() {
    sync
    echo
    echo "LUMICAP-VM-EXIT $1 $(cut -d' ' -f1 /proc/uptime)"
    poweroff -f
}
fail() {
    echo "v4l2-vm guest: $*"
    finish 125
}

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm

while read -r module params; do
    insmod "/modules/$module" $params || fail "cannot load $module"
done </modules/order

mkdir -p /host
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=loose,ro hostroot /host ||
    fail "cannot mount the host's files"
for dir in /dev /proc /sys; do
    mount -o rbind "$dir" "/host$dir" || fail "cannot bind $dir"
done
for dir in /tmp /run; do
    mount -t tmpfs tmpfs "/host$dir" || fail "cannot mount $dir"
done
# The repository on its own share, so it is there even when it lies under /tmp or /run.
mkdir -p "/host$repo"
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144,cache=loose,ro repo "/host$repo" ||
    fail "cannot mount $repo"
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 build "/host$repo/build" ||
    fail "cannot mount $repo/build"
cp /command /host/tmp/lumicap-vm-command

# Raw output: the command's bytes reach the host unchanged.
stty -F /dev/ttyS1 raw -echo
echo "LUMICAP-VM-READY $(cut -d' ' -f1 /proc/uptime)"
env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    chroot /host /bin/bash /tmp/lumicap-vm-command </dev/null >/dev/ttyS1 2>&1
finish $?
EOF
    chmod +x "$file"
}

write_command() {
    local file=$1
    shift
    {
        printf 'cd %q || exit 125\n' "$root"
        printf 'exec'
        printf ' %q' "$@"
        printf '\n'
    } >"$file"
}

build_initramfs() {
    local tree=$1 version=$2 out=$3
    shift 3
    local stage="$work/initramfs"
    mkdir -p "$stage"/{bin,sbin,usr/bin,usr/sbin,dev,proc,sys}
    cp /bin/busybox "$stage/bin/busybox"
    stage_modules "$tree" "$version" "$stage"
    local loopback
    loopback=$(loopback_module "$version")
    cp "$loopback" "$stage/modules/v4l2loopback.ko"
    echo "v4l2loopback.ko video_nr=10 card_label=mjpg-webcam exclusive_caps=1" >>"$stage/modules/order"
    write_init "$stage/init"
    write_command "$stage/command" "$@"
    (cd "$stage" && find . | cpio -o -H newc --quiet) >"$out"
}

# KVM counts only when the kernel really runs under it (where nested KVM is offered but broken, a
# guest may start and then hang): without a root file system the kernel panics at once and QEMU
# exits. The answer is kept per kernel in the cache; delete accel-* there to probe again.
kvm_works() {
    local kernel=$1 answer="$cache/accel-${1##*/}" log="$work/kvm-probe.log"
    [[ -e /dev/kvm ]] || return 1
    if [[ ! -e "$answer" ]]; then
        if timeout -k 5 15 qemu-system-x86_64 -nodefaults -no-user-config -display none -no-reboot \
            -machine pc -accel kvm -cpu host -m 256 -kernel "$kernel" \
            -append "console=ttyS0 panic=-1" -serial "file:$log" </dev/null >/dev/null 2>&1 &&
            grep -q 'Kernel panic' "$log"; then
            echo kvm >"$answer"
        else
            echo tcg >"$answer"
        fi
    fi
    [[ $(cat "$answer") == kvm ]]
}

choose_accel() {
    case "$accel" in
        auto) if kvm_works "$1"; then echo kvm; else echo tcg; fi ;;
        kvm | tcg) echo "$accel" ;;
        *) die "LUMICAP_VM_ACCEL must be auto, kvm or tcg, not $accel" ;;
    esac
}

main() {
    [[ $# -gt 0 ]] || set -- "${default_command[@]}"
    [[ "$timeout_seconds" =~ ^[0-9]+$ ]] || die "LUMICAP_VM_TIMEOUT must be a number of seconds"
    install_packages
    mkdir -p "$cache"
    work=$(mktemp -d)

    local version engine started status=0 result
    unpack_kernel
    version=$(kernel_version "$tree")
    build_initramfs "$tree" "$version" "$work/initramfs.cpio" "$@"
    local kernel="$tree/boot/vmlinuz-$version"
    engine=$(choose_accel "$kernel")

    say "booting kernel $version ($engine, $cpus CPUs, $memory MiB, at most $timeout_seconds s)"
    started=$(date +%s%N)
    timeout -k 10 "$timeout_seconds" qemu-system-x86_64 \
        -nodefaults -no-user-config -display none -no-reboot -monitor none \
        -machine pc -accel "$engine" -cpu "$([[ $engine == kvm ]] && echo host || echo max)" -smp "$cpus" -m "$memory" \
        -kernel "$kernel" -initrd "$work/initramfs.cpio" \
        -append "console=ttyS0 quiet panic=1" \
        -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
        -virtfs "local,path=$root,mount_tag=repo,security_model=none,readonly=on,multidevs=remap" \
        -virtfs "local,path=$root/build,mount_tag=build,security_model=none,multidevs=remap" \
        -serial "file:$console_log" -chardev stdio,id=output -serial chardev:output \
        </dev/null || status=$?

    local elapsed ready finished
    elapsed=$((($(date +%s%N) - started) / 100000000))
    if [[ $status -eq 124 ]]; then
        say "stopped after $timeout_seconds s (LUMICAP_VM_TIMEOUT); the console is in $console_log"
        exit 124
    fi
    result=$(tr -d '\r' <"$console_log" | awk '$1 == "LUMICAP-VM-EXIT" { print $2, $3 }' | tail -n 1)
    ready=$(tr -d '\r' <"$console_log" | awk '$1 == "LUMICAP-VM-READY" { print $2 }' | tail -n 1)
    if [[ -z "$result" ]]; then
        tail -n 20 "$console_log" >&2 || true
        die "the VM ended (status $status) without the command's status; see $console_log"
    fi
    read -r status finished <<<"$result"
    say "ready after ${ready:-?} s, done at $finished s of guest time, $((elapsed / 10)).$((elapsed % 10)) s in all; status $status"
    exit "$status"
}

main "$@"
