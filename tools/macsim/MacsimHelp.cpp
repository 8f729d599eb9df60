#include "MacsimCommand.hpp"

namespace macsim {

const char* MacsimCommand::helpText() {
  return R"HELP(macsim: stand-ins for the macOS command-line tools, for running and testing bosun on Linux.

One executable answers as codesign, security, hdiutil, diskutil, xcrun (notarytool, stapler),
spctl, pkgutil, pkgbuild, productbuild, productsign, lipo, ditto, xattr, osascript, shasum and
sysctl, chosen by the name it is invoked by. A stand-in root holds links at the tools' real paths;
a tool finds its root from the path it was started by (ROOT/usr/bin/codesign gives ROOT), else
from BOSUN_TOOL_ROOT. Everything signed, notarized or stapled here is valid only under the
stand-ins.

SET-UP COMMANDS
  macsim init ROOT [--macos VERSION]
      Creates or refreshes a stand-in root: links at usr/bin/{codesign,security,hdiutil,xcrun,
      pkgbuild,productbuild,productsign,lipo,ditto,xattr,osascript,shasum},
      usr/sbin/{diskutil,spctl,pkgutil,sysctl},
      Library/Developer/CommandLineTools/usr/bin/{notarytool,stapler}, bin/chmod (the system's
      own), System/Library/CoreServices/SystemVersion.plist (ProductName macOS, ProductVersion
      VERSION, default 15.5), Volumes/ and var/macsim/.
  macsim identity add NAME [--team ID] [--hash HEX40] [--expired] [--root ROOT]
      Adds a signing identity to the keychain and prints its hash. NAME is the certificate name,
      for example "Developer ID Application: Example Corp (A1B2C3D4E5)"; the kind is the part
      before the colon (Developer ID Application, Developer ID Installer, Apple Development, ...),
      the team the ten characters in the trailing parentheses unless --team is given.
  macsim identity remove NAME|HASH [--root ROOT]
  macsim identity list [--root ROOT]
  macsim profile add NAME [--apple-id EMAIL] [--team-id ID] [--root ROOT]
      Adds a notarytool keychain profile (as `notarytool store-credentials` does).
  macsim profile remove NAME [--root ROOT]
  macsim profile list [--root ROOT]
  macsim machO [--arch ARCH]... [--type execute|dylib|bundle] OUT
      Writes a small real Mach-O file: thin for one architecture, universal for several
      (x86_64, x86_64h, i386, arm64, arm64e, armv7, armv7s, ppc; default x86_64 and arm64).
  macsim help
  Without --root the commands use BOSUN_TOOL_ROOT.

THE MODEL
  Signatures are SHA-256 seals. A bundle keeps its own in _CodeSignature/ (CodeResources seals
  every file, link and nested code by cdhash); a single file (Mach-O, script, disk image) keeps it,
  like an image's properties, license resources and stapled ticket, in a trailer appended to the
  file. Copies and archives carry them; any later change breaks codesign --verify. The keychain
  is var/macsim/keychain.json; the notary service inspects each submission (ZIP of an app, DMG,
  PKG) and keeps submissions and tickets (keyed by cdhash) under var/macsim/notary/. Disk images
  are tar archives (gzip for UDZO, bzip2 for UDBZ, lz4 for ULFO, lzma for ULMO) that ordinary
  archive tools open; attached images are folders under ROOT/Volumes (read-write ones are written
  back on detach, within their size); var/macsim/attachments.json lists them. Packages are xar
  archives with gzip'ed cpio payloads.

TOOLS AND CALLS
  security find-identity [-v] [-p codesigning|basic]
  security show-keychain-info [KEYCHAIN]   (the login keychain is ~/Library/Keychains/login.keychain-db)
  security add-generic-password -s SERVICE -a ACCOUNT -w PASSWORD [-U]
  security find-generic-password [-s SERVICE] [-a ACCOUNT] [-w]
                                          (items in var/macsim/generic-passwords.json)
  codesign --sign ID|- [--force] [--options runtime] [--timestamp] [--deep] [--entitlements F]
           [--preserve-metadata=identifier,entitlements,flags] [-i ID] PATH...
  codesign --verify [--deep] [--strict] [--verbose=N|-v...] [-R REQUIREMENT] PATH...
  codesign -d [-v...|--verbose=N] [--entitlements - [--xml]] PATH...   codesign --remove-signature
  spctl -a|--assess [-v...] [--type execute|exec|open|install] [--context context:primary-signature]
  xcrun --find TOOL | xcrun notarytool ... | xcrun stapler ...
  notarytool submit FILE CREDENTIALS [--wait] [--output-format json]
  notarytool info|wait|log ID CREDENTIALS [LOGFILE]   notarytool history CREDENTIALS [--output-format json]
  notarytool store-credentials [NAME] [--apple-id X] [--team-id X] [--password X] (prompts for the rest)
      CREDENTIALS: --keychain-profile NAME | --key FILE.p8 --key-id ID [--issuer ID]
                   | --apple-id X --team-id X --password X
  stapler staple|validate PATH
  ditto SRC... DST   ditto -c -k [--keepParent] SRC ZIP   ditto -x -k [--sequesterRsrc --rsrc] ZIP DIR
  xattr [-l] [-r] PATH   xattr -p|-d NAME PATH   xattr -w NAME VALUE PATH   xattr -c[r] PATH
        (-x: values as hexadecimal bytes; disk images keep every item's attributes)
  shasum [-a 1|224|256|384|512] FILE...   lipo -archs|-info FILE
  sysctl [-n] hw.optional.arm64           (1 on Apple silicon, else 0)
  hdiutil create -size N[b|k|m|g|t] [-fs HFS+|APFS] [-volname NAME] [-format F] [-srcfolder DIR] [-ov] PATH
  hdiutil attach [-readonly] [-nobrowse] [-noverify] [-noautoopen] [-plist] [-mountpoint DIR] IMAGE
  hdiutil detach DEV|MOUNTPOINT [-force] [-quiet]
  hdiutil convert SRC -format UDRW|UDRO|UDZO|UDBZ|ULFO|ULMO [-imagekey zlib-level=N] [-ov] -o DST
  hdiutil info [-plist]   hdiutil imageinfo [-plist] IMAGE
  hdiutil udifrez -xml PLIST "" IMAGE   hdiutil udifderez -xml IMAGE
  diskutil image create blank --format RAW|UDRW --fs APFS|HFS+ --size BYTES --volumeName NAME PATH
  diskutil image create from --format F SRC DST   diskutil image attach [--readOnly] PATH
  diskutil image info PATH   diskutil eject [force] DEV|MOUNTPOINT
  pkgutil --check-signature PKG   pkgutil --expand|--expand-full PKG DIR
  pkgbuild --analyze --root DIR PLIST
  pkgbuild --root DIR [--component-plist PLIST] --identifier ID --version V
           [--install-location PATH] [--scripts DIR] [--sign ID [--timestamp]] OUT
  productbuild --distribution XML [--resources DIR] --package-path DIR [--sign ID [--timestamp]] OUT
  productsign --sign ID [--timestamp] IN OUT
  osascript FILE | osascript -e SCRIPT

FAILURE ON DEMAND (environment variables)
  MACSIM_<TOOL>_DELAY=SECONDS     the tool sleeps first (fractions allowed)
  MACSIM_<TOOL>_FAIL=STATUS       the tool does nothing and exits with STATUS
  MACSIM_<TOOL>_STDOUT=TEXT       printed on standard output by the failing tool
  MACSIM_<TOOL>_STDERR=TEXT       printed on standard error by the failing tool
  MACSIM_<TOOL>_WHEN=WORD         DELAY and FAIL apply only when an argument equals WORD
                                  (for example MACSIM_HDIUTIL_WHEN=convert)
  MACSIM_OFFLINE=1                no network: notarytool and stapler staple print the offline
                                  error, --timestamp signing fails, spctl counts only stapled
                                  tickets
  MACSIM_NOTARY_VERDICT=Invalid   the notary service answers Invalid (the log says why)
  MACSIM_NOTARY_PROCESSING=SECS   the notary service takes that long (fractions allowed) before
                                  its verdict; until then info, wait and history say
                                  "In Progress", log has nothing and no ticket exists
  MACSIM_NOTARY_WAIT_HANGS=1      submit --wait and wait never return, though the verdict is ready
  MACSIM_NOTARY_INFO_FAILS=N      the next N notarytool info calls fail with a network error
  MACSIM_ARM64=1|0                sysctl's hw.optional.arm64 (default: 1 on an ARM machine)
  MACSIM_BUSY_EJECTS=N            every attached volume refuses its first N ejects without force
                                  (hdiutil detach, diskutil eject) as busy
  MACSIM_TICKET_PROPAGATION=N     a ticket issued on acceptance is not yet known to stapler
                                  staple: its first N staples fail with "Record not found"
  MACSIM_STUCK_VOLUMES=1          attached volumes never unmount, not even when forced
  MACSIM_KEYCHAIN_LOCKED=1        the login keychain is locked: security show-keychain-info
                                  fails with "User interaction is not allowed." (status 36)
  MACSIM_MISMATCHED_TICKETS=1     stapler staple reports success but attaches a ticket issued
                                  for other content, which stapler validate then rejects
  <TOOL> is the tool's name in capitals: CODESIGN, SECURITY, HDIUTIL, DISKUTIL, XCRUN,
  NOTARYTOOL, STAPLER, SPCTL, PKGUTIL, PKGBUILD, PRODUCTBUILD, PRODUCTSIGN, LIPO, DITTO, XATTR,
  OSASCRIPT, SHASUM, SYSCTL.
)HELP";
}

} // namespace macsim
