// Display settings, the registry overrides and the set-up chooser's fitting
// rules, on made-up adapters (the recording Direct3D).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/graphics/d3d9_recording.h"
#include "platform/system/system.h"
#include "render/device_manager.h"

namespace {

// Every test gets its own registry file (absent unless written), no message
// boxes, and a factory that hands out the recorder with the given adapters.
class SetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registryPath = ::testing::TempDir() + "setup_test_" + std::to_string(::getpid()) + ".ini";
    std::remove(registryPath.c_str());
    setenv("TESSALINE_REGISTRY", registryPath.c_str(), 1);
    setMessageBoxHook([this](const char* text, const char* caption, UINT) {
      boxes.push_back(std::string(caption) + ": " + text);
      return IDOK;
    });
  }
  void TearDown() override {
    setDirect3DFactory(nullptr);
    setMessageBoxHook(nullptr);
    std::remove(registryPath.c_str());
    unsetenv("TESSALINE_REGISTRY");
  }

  void useAdapters(std::vector<FakeAdapter> adapters) {
    setDirect3DFactory([adapters, log = log](UINT) { return new RecordingDirect3D9(adapters, log); });
  }
  void writeRegistry(const std::string& values) {
    std::ofstream(registryPath) << "[HKEY_LOCAL_MACHINE\\Software\\Marrowgate Software\\Tessaline]\n" << values;
  }
  // Enumerates and runs the chooser over one adapter.
  void runSetup(DeviceManager& manager, const FakeAdapter& adapter) {
    useAdapters({adapter});
    ASSERT_TRUE(manager.enumerateAdapters("Error", "no d3d", "no tnl"));
    ::Setup setup(&manager);
    EXPECT_TRUE(setup.run());
  }

  static FakeAdapter adapterWithModes() {
    FakeAdapter a;
    a.modes = {{640, 480, 60, D3DFMT_X8R8G8B8}, {1024, 768, 60, D3DFMT_X8R8G8B8}};
    return a;
  }

  std::string registryPath;
  std::vector<std::string> boxes;
  std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
};

TEST_F(SetupTest, WithoutRegistryKeyTheDefaultsStay) {
  const DisplaySettings s;
  EXPECT_EQ(s.width, 1024);
  EXPECT_EQ(s.height, 768);
  EXPECT_FALSE(s.windowed);
  EXPECT_EQ(s.windowWidth, 960);
  EXPECT_EQ(s.windowHeight, 720);
  EXPECT_EQ(s.multisampleType, 0u);
  EXPECT_EQ(s.multisampleQuality, 0u);
  EXPECT_TRUE(s.fixedFunction);
  EXPECT_EQ(s.caption, "Orbivane 3D Realtime Technology by Marrowgate Software");
}

TEST_F(SetupTest, RegistryDwordsOverrideAndOtherTypesOrBadSizesAreIgnored) {
  writeRegistry(
      "ResolutionWidth=dword:1280\n"
      "ResolutionHeight=dword:0\n"
      "MultisampleType=\"4\"\n"
      "MultisampleQuality=dword:2\n");
  const DisplaySettings s;
  EXPECT_EQ(s.width, 1280);
  EXPECT_EQ(s.height, 768) << "a zero height keeps the default";
  EXPECT_EQ(s.multisampleType, 0u) << "a string value is ignored";
  EXPECT_EQ(s.multisampleQuality, 2u);
}

TEST_F(SetupTest, FittingOfConfiguredFormatsToTheCandidates) {
  const bool onlyArgbXrgb[6] = {true, true, false, false, false, false};
  const bool onlyXrgb[6] = {false, true, false, false, false, false};
  const bool none[6] = {};
  EXPECT_EQ(fitCandidateFormat(D3DFMT_R5G6B5, onlyArgbXrgb), D3DFMT_X8R8G8B8) << "last supported before it";
  EXPECT_EQ(fitCandidateFormat(D3DFMT_A8R8G8B8, onlyXrgb), D3DFMT_X8R8G8B8) << "next supported after it";
  EXPECT_EQ(fitCandidateFormat(D3DFMT_DXT1, onlyArgbXrgb), D3DFMT_X8R8G8B8) << "not a candidate: last supported";
  EXPECT_EQ(fitCandidateFormat(0, onlyArgbXrgb), D3DFMT_A8R8G8B8) << "unset: first supported";
  EXPECT_EQ(fitCandidateFormat(D3DFMT_A8R8G8B8, onlyArgbXrgb), D3DFMT_A8R8G8B8);
  EXPECT_EQ(fitCandidateFormat(D3DFMT_X8R8G8B8, none), 0u);
}

TEST_F(SetupTest, RunFitsFormatsAndFillsTheAdapterLists) {
  DeviceManager manager;
  manager.settings->backBufferFormat = D3DFMT_R5G6B5;
  FakeAdapter a = adapterWithModes();
  a.textureFormats = {D3DFMT_DXT1, D3DFMT_L8, D3DFMT_A8R8G8B8};
  a.depthStencilFormats = {D3DFMT_D16, D3DFMT_D24S8};
  runSetup(manager, a);
  const DisplaySettings& s = *manager.settings;
  EXPECT_EQ(s.displayFormat, D3DFMT_X8R8G8B8);
  EXPECT_EQ(s.backBufferFormat, D3DFMT_X8R8G8B8);
  const AdapterInfo& info = *manager.adapters[0];
  EXPECT_EQ(info.displayFormats, std::vector<int>{1});
  EXPECT_EQ(info.backBufferFormats, (std::vector<int>{0, 1}));
  // Lists follow the table order, not the adapter's.
  ASSERT_EQ(info.textureFormats.size(), 3u);
  EXPECT_EQ(info.textureFormats[0]->format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(info.textureFormats[1]->format, D3DFMT_L8);
  EXPECT_EQ(info.textureFormats[2]->format, D3DFMT_DXT1);
  ASSERT_EQ(info.depthStencilFormats.size(), 2u);
  EXPECT_EQ(info.depthStencilFormats[0]->format, D3DFMT_D24S8);
  EXPECT_EQ(info.depthStencilFormats[1]->format, D3DFMT_D16);
  EXPECT_TRUE(info.displacementFormats.empty());
  EXPECT_TRUE(info.volumeFormats.size() == info.textureFormats.size());
}

TEST_F(SetupTest, WindowedModeChecksAgainstTheDesktopFormat) {
  DeviceManager manager;
  manager.settings->windowed = true;
  FakeAdapter a = adapterWithModes();
  a.currentMode.Format = D3DFMT_R5G6B5;  // a 16-bit desktop that accepts no back buffer
  a.displayFormats = {D3DFMT_X8R8G8B8};
  runSetup(manager, a);
  EXPECT_EQ(manager.settings->backBufferFormat, 0u);
  EXPECT_TRUE(manager.adapters[0]->backBufferFormats.empty());
}

struct MultisampleCase {
  DWORD configuredType, configuredQuality;
  std::vector<DWORD> supported;
  DWORD nonmaskableLevels;
  DWORD expectedType, expectedQuality;
};

TEST_F(SetupTest, MultisampleChoices) {
  const MultisampleCase cases[] = {
      {6, 0, {2, 4}, 0, 4, 0},      // largest supported not above the request
      {1, 5, {2, 4}, 3, 1, 2},      // non-maskable: quality lowered below the count
      {1, 1, {2, 4}, 3, 1, 1},      // a quality within range stays
      {17, 0, {2, 4}, 0, 4, 0},     // no non-maskable levels: the largest type of all
      {3, 7, {}, 0, 0, 0},          // nothing supported
      {0, 9, {2, 4}, 3, 0, 0},      // off stays off, quality 0
      {16, 0, {2, 4, 8}, 0, 8, 0},  //
  };
  for (const MultisampleCase& c : cases) {
    DeviceManager manager;
    manager.settings->multisampleType = c.configuredType;
    manager.settings->multisampleQuality = c.configuredQuality;
    FakeAdapter a = adapterWithModes();
    a.multisampleTypes = c.supported;
    a.nonmaskableQualityLevels = c.nonmaskableLevels;
    runSetup(manager, a);
    EXPECT_EQ(manager.settings->multisampleType, c.expectedType) << "configured " << c.configuredType;
    EXPECT_EQ(manager.settings->multisampleQuality, c.expectedQuality) << "configured " << c.configuredType;
    EXPECT_EQ(manager.adapters[0]->maxNonmaskableQuality, c.nonmaskableLevels);
  }
}

TEST_F(SetupTest, AnAdapterOrdinalWithoutRecordChangesNothing) {
  DeviceManager manager;
  manager.settings->multisampleType = 4;
  useAdapters({adapterWithModes()});
  ASSERT_TRUE(manager.enumerateAdapters("Error", "no d3d", "no tnl"));
  manager.settings->adapter = 5;  // set after enumeration, which would wrap it
  ::Setup setup(&manager);
  EXPECT_TRUE(setup.run());
  EXPECT_EQ(manager.settings->displayFormat, 0u);
  EXPECT_EQ(manager.settings->multisampleType, 4u);
}

TEST_F(SetupTest, EnumerationWrapsTheAdapterOrdinalSoSetUpFillsTheAdapterInUse) {
  DeviceManager manager;
  manager.settings->adapter = 5;  // 5 mod 2 = 1; -1 wraps to the last adapter too
  FakeAdapter second = adapterWithModes();
  second.backBufferFormats = {D3DFMT_X8R8G8B8};
  useAdapters({adapterWithModes(), second});
  ASSERT_TRUE(manager.enumerateAdapters("Error", "no d3d", "no tnl"));
  EXPECT_EQ(manager.settings->adapter, 1);
  ::Setup setup(&manager);
  EXPECT_TRUE(setup.run());
  EXPECT_TRUE(manager.adapters[0]->backBufferFormats.empty());
  EXPECT_EQ(manager.adapters[1]->backBufferFormats, std::vector<int>{1});
  manager.settings->adapter = -1;
  ASSERT_TRUE(manager.enumerateAdapters("Error", "no d3d", "no tnl"));
  EXPECT_EQ(manager.settings->adapter, 1);
}

TEST_F(SetupTest, HooksOfASubclassSeeTheChainInOrder) {
  struct TracingSetup : ::Setup {
    using ::Setup::Setup;
    std::vector<std::string> steps;
    void selectDisplayFormat(D3DFORMAT f) override { steps.push_back("select " + std::to_string(f)); }
    void checkMultisampleTypes(D3DDEVTYPE t, D3DFORMAT f, bool w) override {
      steps.push_back("multisample " + std::to_string(f));
      ::Setup::checkMultisampleTypes(t, f, w);
    }
    void finish() override { steps.push_back("finish"); }
  };
  DeviceManager manager;
  useAdapters({adapterWithModes()});
  ASSERT_TRUE(manager.enumerateAdapters("Error", "a", "b"));
  TracingSetup setup(&manager);
  setup.run();
  EXPECT_EQ(setup.steps, (std::vector<std::string>{"select 22", "multisample 21", "finish"}));
}

TEST_F(SetupTest, EnumerationFailsWithTheCallersTexts) {
  {
    setDirect3DFactory([](UINT) -> IDirect3D9* { return nullptr; });
    DeviceManager manager;
    EXPECT_FALSE(manager.enumerateAdapters("Error", "no d3d", "no tnl"));
  }
  {
    FakeAdapter noTnL = adapterWithModes();
    noTnL.caps.DevCaps = 0;
    useAdapters({noTnL});
    DeviceManager manager;
    EXPECT_FALSE(manager.enumerateAdapters("Error", "no d3d", "no tnl"));
  }
  {
    useAdapters({});
    DeviceManager manager;
    EXPECT_FALSE(manager.enumerateAdapters("Error", "no d3d", "no tnl"));
  }
  EXPECT_EQ(boxes, (std::vector<std::string>{"Error: no d3d", "Error: no tnl", "Error: no tnl"}));
}

TEST_F(SetupTest, SecondaryHeadsPointAtTheirMasterAndReleaseEmptiesEverything) {
  FakeAdapter master = adapterWithModes();
  master.caps.NumberOfAdaptersInGroup = 2;
  FakeAdapter head = adapterWithModes();
  head.caps.NumberOfAdaptersInGroup = 0;
  head.caps.AdapterOrdinalInGroup = 1;
  head.caps.MasterAdapterOrdinal = 0;
  FakeAdapter broken = head;
  broken.caps.MasterAdapterOrdinal = 7;  // names no adapter
  useAdapters({master, head, broken});
  DeviceManager manager;
  ASSERT_TRUE(manager.enumerateAdapters("Error", "a", "b"));
  ASSERT_EQ(manager.adapterCount(), 3);
  EXPECT_EQ(manager.adapters[0]->master, nullptr);
  EXPECT_EQ(manager.adapters[1]->master, manager.adapters[0].get());
  EXPECT_EQ(manager.adapters[2]->master, nullptr);
  EXPECT_EQ(manager.adapters[1]->modeCount(), 2u);
  manager.release();
  EXPECT_EQ(manager.adapterCount(), 0);
  EXPECT_EQ(manager.deviceCount(), 0);
  EXPECT_FALSE(manager.direct3D);
}

}  // namespace
