// Display settings, the registry overrides and the set-up chooser's fitting
// rules, on made-up adapters (the recording Direct3D).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/render/pipeline_fixture.h"

namespace {

// Every test gets its own registry file, absent unless written.
class SetupTest : public PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    registryPath = ::testing::TempDir() + "setup_test_" + std::to_string(::getpid()) + ".ini";
    std::remove(registryPath.c_str());
    setenv("TESSALINE_REGISTRY", registryPath.c_str(), 1);
  }
  void TearDown() override {
    std::remove(registryPath.c_str());
    PipelineTest::TearDown();
  }
  void writeRegistry(const std::string& values) {
    std::ofstream(registryPath) << "[HKEY_LOCAL_MACHINE\\Software\\Marrowgate Software\\Tessaline]\n" << values;
  }

  std::string registryPath;
};

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
  FakeAdapter a = adapterWithModes();
  a.textureFormats = {D3DFMT_DXT1, D3DFMT_L8, D3DFMT_A8R8G8B8};
  a.depthStencilFormats = {D3DFMT_D16, D3DFMT_D24S8};
  makeManager({a}, false, [](DisplaySettings& s) { s.backBufferFormat = D3DFMT_R5G6B5; });
  EXPECT_EQ(manager->settings->displayFormat, D3DFMT_X8R8G8B8);
  EXPECT_EQ(manager->settings->backBufferFormat, D3DFMT_X8R8G8B8);
  const AdapterInfo& info = *manager->adapters[0];
  EXPECT_EQ(info.backBufferFormats, (std::vector<int>{0, 1}));
  // Lists follow the table order, not the adapter's.
  auto formats = [](const std::vector<const FormatDesc*>& list) {
    std::vector<D3DFORMAT> out;
    for (const FormatDesc* f : list) out.push_back(f->format);
    return out;
  };
  EXPECT_EQ(formats(info.textureFormats), (std::vector<D3DFORMAT>{D3DFMT_A8R8G8B8, D3DFMT_L8, D3DFMT_DXT1}));
  EXPECT_EQ(formats(info.depthStencilFormats), (std::vector<D3DFORMAT>{D3DFMT_D24S8, D3DFMT_D16}));
}

TEST_F(SetupTest, WindowedModeChecksAgainstTheDesktopFormat) {
  FakeAdapter a = adapterWithModes();
  a.currentMode.Format = D3DFMT_R5G6B5;  // a 16-bit desktop that accepts no back buffer
  a.displayFormats = {D3DFMT_X8R8G8B8};
  makeManager({a}, true);
  EXPECT_EQ(manager->settings->backBufferFormat, 0u);
  EXPECT_TRUE(manager->adapters[0]->backBufferFormats.empty());
}

struct MultisampleCase {
  DWORD configuredType, configuredQuality;
  std::vector<DWORD> supported;
  DWORD nonmaskableLevels;
  DWORD expectedType, expectedQuality;
};

TEST_F(SetupTest, MultisampleChoices) {
  const MultisampleCase cases[] = {
      {6, 0, {2, 4}, 0, 4, 0},   // largest supported not above the request
      {1, 5, {2, 4}, 3, 1, 2},   // non-maskable: quality lowered below the count
      {17, 0, {2, 4}, 0, 4, 0},  // no non-maskable levels: the largest type of all
      {3, 7, {}, 0, 0, 0},       // nothing supported
      {0, 9, {2, 4}, 3, 0, 0},   // off stays off, quality 0
  };
  for (const MultisampleCase& c : cases) {
    FakeAdapter a = adapterWithModes();
    a.multisampleTypes = c.supported;
    a.nonmaskableQualityLevels = c.nonmaskableLevels;
    useAdapters({a});
    DeviceManager m;
    m.settings->multisampleType = c.configuredType;
    m.settings->multisampleQuality = c.configuredQuality;
    ASSERT_TRUE(m.enumerateAdapters("Error", "no d3d", "no tnl"));
    ::Setup(&m).run();
    EXPECT_EQ(m.settings->multisampleType, c.expectedType) << "configured " << c.configuredType;
    EXPECT_EQ(m.settings->multisampleQuality, c.expectedQuality) << "configured " << c.configuredType;
  }
}

TEST_F(SetupTest, AnAdapterOrdinalWithoutRecordChangesNothing) {
  DeviceManager m;
  m.settings->multisampleType = 4;
  useAdapters({adapterWithModes()});
  ASSERT_TRUE(m.enumerateAdapters("Error", "no d3d", "no tnl"));
  m.settings->adapter = 5;  // set after enumeration, which would wrap it
  EXPECT_TRUE(::Setup(&m).run());
  EXPECT_EQ(m.settings->displayFormat, 0u);
  EXPECT_EQ(m.settings->multisampleType, 4u);
}

TEST_F(SetupTest, EnumerationWrapsTheAdapterOrdinalSoSetUpFillsTheAdapterInUse) {
  FakeAdapter second = adapterWithModes();
  second.backBufferFormats = {D3DFMT_X8R8G8B8};
  // 5 mod 2 = 1; -1 wraps to the last adapter too.
  makeManager({adapterWithModes(), second}, false, [](DisplaySettings& s) { s.adapter = 5; });
  EXPECT_EQ(manager->settings->adapter, 1);
  EXPECT_TRUE(manager->adapters[0]->backBufferFormats.empty());
  EXPECT_EQ(manager->adapters[1]->backBufferFormats, std::vector<int>{1});
  manager->settings->adapter = -1;
  ASSERT_TRUE(manager->enumerateAdapters("Error", "no d3d", "no tnl"));
  EXPECT_EQ(manager->settings->adapter, 1);
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
  DeviceManager m;
  useAdapters({adapterWithModes()});
  ASSERT_TRUE(m.enumerateAdapters("Error", "a", "b"));
  TracingSetup setup(&m);
  setup.run();
  EXPECT_EQ(setup.steps, (std::vector<std::string>{"select 22", "multisample 21", "finish"}));
}

TEST_F(SetupTest, EnumerationFailsWithTheCallersTexts) {
  FakeAdapter noTnL = adapterWithModes();
  noTnL.caps.DevCaps = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (attempt == 0) setDirect3DFactory([](UINT) -> IDirect3D9* { return nullptr; });
    if (attempt > 0) useAdapters(attempt == 1 ? std::vector<FakeAdapter>{noTnL} : std::vector<FakeAdapter>{});
    EXPECT_FALSE(DeviceManager().enumerateAdapters("Error", "no d3d", "no tnl")) << attempt;
  }
  EXPECT_EQ(boxes, (std::vector<std::string>{"Error: no d3d", "Error: no tnl", "Error: no tnl"}));
}

TEST_F(SetupTest, SecondaryHeadsPointAtTheirMasterAndReleaseEmptiesTheList) {
  FakeAdapter master = adapterWithModes();
  master.caps.NumberOfAdaptersInGroup = 2;
  FakeAdapter head = adapterWithModes();
  head.caps.NumberOfAdaptersInGroup = 0;
  head.caps.AdapterOrdinalInGroup = 1;
  head.caps.MasterAdapterOrdinal = 0;
  FakeAdapter broken = head;
  broken.caps.MasterAdapterOrdinal = 7;  // names no adapter
  makeManager({master, head, broken}, false);
  ASSERT_EQ(manager->adapterCount(), 3);
  EXPECT_EQ(manager->adapters[0]->master, nullptr);
  EXPECT_EQ(manager->adapters[1]->master, manager->adapters[0].get());
  EXPECT_EQ(manager->adapters[2]->master, nullptr);
  manager->release();
  EXPECT_EQ(manager->adapterCount(), 0);
  EXPECT_FALSE(manager->direct3D);
}

}  // namespace
