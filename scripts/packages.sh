# Debian packages the project needs, by purpose. Sourced by the other scripts.
# help2man makes the manual pages from the programs' --help, which Qt's Italian texts
# (qt6-translations-l10n) complete.
BUILD_PACKAGES="cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev libjpeg62-turbo-dev
    fonts-liberation2 pkg-config libheif-dev libxxhash-dev
    qt6-multimedia-dev libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
    libopusenc-dev libebur128-dev libespeak-ng-dev help2man qt6-translations-l10n"
# The voices: GStreamer's plugins read WAV and Ogg (base), MP3 and MP4 (good), AAC (libav);
# eSpeak NG's Italian voice makes the editor's synthetic voices.
RUN_PACKAGES="libqt6widgets6 libqt6gui6 qt6-qpa-plugins fonts-liberation2 qt6-translations-l10n
    libheif1 libxxhash0 libqt6multimedia6 gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    gstreamer1.0-libav libopusenc0 libebur128-1 libespeak-ng1 espeak-ng-data"
# dbus-daemon: dbus-run-session, a session bus of the end-to-end tests' own. lintian: the
# Debian package's checks.
# pulseaudio, pulseaudio-utils: the voice player's sound server with a null sink, and parec and
# pactl to record and count what it played.
TEST_PACKAGES="xvfb xauth xdotool x11-utils x11-xkb-utils imagemagick clang-format-14
    libcanberra0 sound-theme-freedesktop desktop-file-utils appstream dpkg-dev file strace
    dbus-daemon pulseaudio pulseaudio-utils lintian"
# scripts/package: the .deb's dependencies are found by dpkg-shlibdeps.
PACKAGE_PACKAGES="dpkg-dev file"
# scripts/fuzz: libFuzzer comes with clang.
FUZZ_PACKAGES="clang-14 libfuzzer-14-dev libclang-rt-14-dev"

# install_packages PKG...: installs those not yet installed (as root, or through sudo).
install_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
