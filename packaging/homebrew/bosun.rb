# Homebrew formula for bosun. The release script fills in the tarball's address and checksum.
class Bosun < Formula
  desc "Sign, notarize and staple a Mac app as a DMG or PKG, from Terminal"
  homepage "https://bosun.example.com"
  url "https://bosun.example.com/releases/bosun-1.0.0.tar.gz"
  sha256 "0000000000000000000000000000000000000000000000000000000000000000"
  license :cannot_represent

  depends_on "cmake" => :build
  depends_on "nlohmann-json" => :build
  depends_on "pkg-config" => :build
  depends_on "cairo"
  depends_on "curl"
  depends_on "fmt"
  depends_on "gdk-pixbuf"
  depends_on "icu4c"
  depends_on "libarchive"
  depends_on "libgsf"
  depends_on "libplist"
  depends_on "librsvg"
  depends_on "libxml2"
  depends_on :macos
  depends_on "openssl@3"
  depends_on "pango"
  depends_on "poppler"

  def install
    args = %w[
      -DBOSUN_BUILD_TESTS=OFF
      -DBOSUN_BUILD_BENCH=OFF
      -DBOSUN_BUILD_FUZZ=OFF
    ]
    system "cmake", "-S", ".", "-B", "build", *args, *std_cmake_args
    system "cmake", "--build", "build"
    # The install puts the program in bin, the modules it loads when it draws or reads a PDF or
    # Word document in lib/bosun, its artwork in share/bosun, the manual page in share/man/man1
    # and the completions where bash-completion@2, zsh and fish look for them.
    system "cmake", "--install", "build"
  end

  test do
    assert_match "Bosun #{version}", shell_output("#{bin}/bosun --version")
    output = shell_output("#{bin}/bosun help exit-codes")
    assert_match "0    success", output
    assert_match "130  cancelled", output
    assert_path_exists man1/"bosun.1"
    assert_path_exists lib/"bosun/bosun-artwork.so"
    assert_path_exists lib/"bosun/bosun-documents.so"
    assert_path_exists lib/"bosun/bosun-appcast.so"
    assert_path_exists lib/"bosun/bosun-collation.so"
    assert_path_exists zsh_completion/"_bosun"
    assert_path_exists fish_completion/"bosun.fish"
  end
end
