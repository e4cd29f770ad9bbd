// Bundles: a class's library found at run time, and its resource folder found
// from the library's location, in the build tree and in an installed layout.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "FixtureController.h"
#include "appkit/AppKit.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

std::string canonical(const std::string& path) { return fs::weakly_canonical(path).string(); }

TEST(AppKitBundle, AClassFindsItsLibraryAndTheResourceFolderOfTheBuildTree) {
  auto bundle = appkit::Bundle::forClass(typeid(FixtureController));
  ASSERT_NE(bundle, nullptr);
  EXPECT_EQ(canonical(bundle->executablePath()), canonical(APPKIT_TEST_FIXTURE));
  EXPECT_EQ(bundle->resourcePath(), canonical(APPKIT_TEST_DATADIR "/AppKitBundleFixture"));
  auto path = bundle->pathForResource("Fixture", "storyboard");
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(*path, bundle->resourcePath() + "/Fixture.storyboard");

  auto storyboard = appkit::Storyboard::storyboardWithName("Fixture", bundle);
  ASSERT_NE(storyboard, nullptr);
  auto controller =
      std::dynamic_pointer_cast<FixtureController>(storyboard->instantiateInitialController());
  ASSERT_NE(controller, nullptr);
  EXPECT_EQ(controller->title(), "fixture");

  // A class that was not registered is found through its type information;
  // the stand-in's own classes through their registration.
  auto helper = appkit::Bundle::forClass(typeid(FixtureHelper));
  ASSERT_NE(helper, nullptr);
  EXPECT_EQ(helper->executablePath(), bundle->executablePath());
  auto appkit = appkit::Bundle::forClass(typeid(appkit::Window));
  ASSERT_NE(appkit, nullptr);
  EXPECT_EQ(fs::path(appkit->executablePath()).filename().string().rfind("libVelkAppKit.so", 0),
            0U);
  EXPECT_EQ(appkit->resourcePath(), canonical(APPKIT_TEST_DATADIR "/VelkAppKit"));
}

TEST(AppKitBundle, AnInstalledLibraryFindsTheResourceFolderOfItsPrefix) {
  velktest::TempDir prefix;
  const fs::path libdir = fs::path(prefix.path()) / APPKIT_TEST_LIBDIR_NAME;
  fs::create_directories(libdir);
  const fs::path copy = libdir / "libAppKitBundleFixture.so.1";
  fs::copy_file(APPKIT_TEST_FIXTURE, copy);
  std::unique_ptr<void, int (*)(void*)> library(dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL),
                                                dlclose);
  ASSERT_NE(library, nullptr) << dlerror();  // NOLINT(concurrency-mt-unsafe): one thread
  auto address = reinterpret_cast<const void* (*)()>(dlsym(library.get(), "appkitFixtureAddress"));
  ASSERT_NE(address, nullptr);

  auto bundle = appkit::Bundle::forAddress(address());
  ASSERT_NE(bundle, nullptr);
  EXPECT_EQ(bundle->executablePath(), canonical(copy.string()));
  EXPECT_EQ(bundle->resourcePath(),
            canonical(prefix.path() + "/" APPKIT_TEST_DATADIR_NAME "/AppKitBundleFixture"));
  EXPECT_FALSE(bundle->pathForResource("Fixture", "storyboard").has_value());
}

TEST(AppKitBundle, MainBundleAndFolderBundles) {
  auto main = appkit::Bundle::mainBundle();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(main->executablePath(), canonical("/proc/self/exe"));
  EXPECT_EQ(main->resourcePath(), canonical(APPKIT_TEST_DATADIR "/appkit_bundle_test"));

  velktest::TempDir dir;
  velktest::writeFileBytes(dir.file("Main.storyboard"), "<storyboard/>");
  auto bundle = appkit::Bundle::bundleWithResourcePath(dir.path());
  EXPECT_EQ(bundle->executablePath(), "");
  EXPECT_EQ(bundle->pathForResource("Main", "storyboard"), dir.file("Main.storyboard"));
  EXPECT_EQ(bundle->pathForResource("Main", "xml"), std::nullopt);
  EXPECT_EQ(appkit::Bundle::forAddress(nullptr), nullptr);
}

}  // namespace
