#include "cli/release/WindowPreview.hpp"

#include "cli/console/CLIError.hpp"
#include "core/DMG/DMGTemplateBackground.hpp"
#include "core/DMG/DMGWindowArtwork.hpp"
#include "core/DMG/InstallerWindowPreset.hpp"
#include "core/Support/AtomicFile.hpp"
#include "core/Support/FolderLock.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace bosun {

void WindowPreview::write(const ReleasePlan& plan, const std::filesystem::path& destination) {
  if (plan.format != OutputKind::dmg)
    throw CLIError(ExitCode::usage, "--preview shows a DMG's window; this plan builds a PKG.",
                   "Leave out --preview, or pass --format dmg.");

  // The request a build makes, before a template styles it.
  halyard::DMGBuildRequest request = plan.dmgBuildRequest();
  const std::string dmgName = request.dmgName;

  std::optional<halyard::TemporaryFolder> workspace;
  if (plan.project.templateURL) {
    try {
      workspace.emplace("Bosun_");
      // Locked like every "Bosun_" folder, so that a release starting now leaves it alone.
      halyard::FolderLock::acquire(workspace->path());
      const auto prepared =
          halyard::DMGTemplateBackground::prepare(*plan.project.templateURL, workspace->path());
      request = request.styled(prepared.designTemplate, prepared.imageURL);
    } catch (const std::exception& error) {
      throw CLIError(ExitCode::input,
                     std::string("The template could not be used: ") + error.what());
    }
  }

  // The pills are sized for the app's name as its file shows it.
  const auto& app = plan.project.appSource;
  auto background =
      halyard::DMGWindowArtwork::make(request, app.stem().string()).backgroundPNG(request);
  if (!background) throw CLIError(ExitCode::build, "The background could not be drawn.");
  write(halyard::FinderWindowScene::forRelease(request, app, std::move(background)), destination);
}

void WindowPreview::write(const halyard::FinderWindowScene& scene,
                          const std::filesystem::path& destination) {
  const auto png = scene.png();
  if (!png) throw CLIError(ExitCode::build, "The window could not be drawn.");
  try {
    halyard::AtomicFile::writeAll(destination, *png);
  } catch (const std::exception& error) {
    throw CLIError(ExitCode::input, "The preview could not be written to " + destination.string() +
                                        ": " + error.what());
  }
}

} // namespace bosun
