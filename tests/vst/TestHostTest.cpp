// The test host against a third-party VST 2 plug-in (the LSP stereo compressor from Debian) and
// the loader's error paths.
#include <dlfcn.h>
#include <link.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <numbers>
#include <string>

#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "testhost/TestHost.h"

namespace {

using testhost::AudioBus;
using testhost::TestHost;
using testhost::TestPlugin;

const char* const kLspCompressor = "/usr/lib/vst/lsp-plugins/compressor-stereo.so";

bool haveLsp() { return std::filesystem::exists(kLspCompressor); }

#if defined(__SANITIZE_ADDRESS__)
// Each LSP plug-in loads a shared core library and unloads it again on its last close; the memory
// the core's globals still hold would then be reported as leaked. Sanitized runs keep it mapped.
const bool lspCorePinned = [] {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/vst/lsp-plugins", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("lsp-plugins-vst2-", 0) == 0 && entry.path().extension() == ".so")
      return dlopen(entry.path().c_str(), RTLD_NOW | RTLD_NODELETE) != nullptr;
  }
  return false;
}();
#endif

#define SKIP_WITHOUT_LSP()                                                                    \
  if (!haveLsp())                                                                             \
  GTEST_SKIP() << kLspCompressor << " is absent; run tools/setup-deps.sh (package lsp-plugins-vst)"

// Loads the compressor and creates one opened instance at 48 kHz / 512 frames.
std::unique_ptr<TestPlugin> openCompressor(TestHost& host) {
  if (!host.load(kLspCompressor)) {
    ADD_FAILURE() << host.error();
    return nullptr;
  }
  auto plugin = host.createInstance();
  if (!plugin) {
    ADD_FAILURE() << host.error();
    return nullptr;
  }
  plugin->open();
  plugin->setSampleRate(48000.0f);
  plugin->setBlockSize(512);
  return plugin;
}

void fillSine(AudioBus<float>& bus, int32_t frames) {
  for (int32_t c = 0; c < bus.channels(); ++c)
    for (int32_t i = 0; i < frames; ++i)
      bus.channel(c)[i] = 0.5f * static_cast<float>(std::sin(2.0 * std::numbers::pi * 440.0 * i / 48000.0));
}

TEST(TestHostLsp, LoadsAndDescribesTheCompressor) {
  SKIP_WITHOUT_LSP();
  TestHost host;
  auto plugin = openCompressor(host);
  ASSERT_TRUE(plugin);
  EXPECT_EQ(plugin->magic(), 0x56737450);
  EXPECT_EQ(plugin->magic(), vst::kEffectMagic);
  EXPECT_EQ(plugin->numInputs(), 2);
  EXPECT_EQ(plugin->numOutputs(), 2);
  EXPECT_NE(plugin->uniqueId(), 0);
  EXPECT_GT(plugin->numParams(), 0);
  EXPECT_TRUE(plugin->hasFlag(vst::effFlagsCanReplacing));
  EXPECT_EQ(plugin->vstVersion(), 2400);
  EXPECT_EQ(plugin->plugCategory(), vst::kPlugCategMastering);
}

TEST(TestHostLsp, EffectNameStaysInsideItsLimit) {
  SKIP_WITHOUT_LSP();
  TestHost host;
  auto plugin = openCompressor(host);
  ASSERT_TRUE(plugin);
  const testhost::PluginText name = plugin->effectName();
  EXPECT_TRUE(name.written);
  EXPECT_TRUE(name.terminated);
  EXPECT_FALSE(name.overran);
  EXPECT_FALSE(name.text.empty());
  EXPECT_LT(name.text.size(), static_cast<size_t>(vst::kEffectNameLength));
  for (int32_t i = 0; i < plugin->numParams(); ++i) {
    EXPECT_FALSE(plugin->paramName(i).overran) << "parameter " << i;
    EXPECT_FALSE(plugin->paramDisplay(i).overran) << "parameter " << i;
    EXPECT_FALSE(plugin->paramLabel(i).overran) << "parameter " << i;
  }
}

TEST(TestHostLsp, ProcessesFloatAudioWithFiniteOutput) {
  SKIP_WITHOUT_LSP();
  TestHost host;
  auto plugin = openCompressor(host);
  ASSERT_TRUE(plugin);
  plugin->resume();
  AudioBus<float> in(plugin->numInputs(), 512);
  AudioBus<float> out(plugin->numOutputs(), 512);
  fillSine(in, 512);
  double energy = 0.0;
  for (int block = 0; block < 8; ++block) {
    out.fill(0.0f);
    ASSERT_TRUE(plugin->processReplacing(in, out, 512));
    for (int32_t c = 0; c < out.channels(); ++c)
      for (int32_t i = 0; i < 512; ++i) {
        ASSERT_TRUE(std::isfinite(out.channel(c)[i])) << "channel " << c << " frame " << i;
        energy += static_cast<double>(out.channel(c)[i]) * out.channel(c)[i];
      }
  }
  EXPECT_GT(energy, 0.0);
  plugin->suspend();
}

TEST(TestHostLsp, RefusesBusesThatDoNotFitAndAbsentFunctions) {
  SKIP_WITHOUT_LSP();
  TestHost host;
  auto plugin = openCompressor(host);
  ASSERT_TRUE(plugin);
  plugin->resume();
  AudioBus<float> mono(1, 64);
  AudioBus<float> stereo(2, 64);
  EXPECT_FALSE(plugin->processReplacing(mono, stereo, 64));
  EXPECT_FALSE(plugin->processReplacing(stereo, stereo, 65));
  AudioBus<double> in(2, 64);
  AudioBus<double> out(2, 64);
  EXPECT_EQ(plugin->processDoubleReplacing(in, out, 64),
            plugin->effect()->processDoubleReplacing != nullptr);
  EXPECT_EQ(plugin->processAccumulating(stereo, stereo, 64), plugin->effect()->process != nullptr);
  plugin->suspend();
}

TEST(TestHostLsp, EventsChunksAndArrangementsDoNotCrash) {
  SKIP_WITHOUT_LSP();
  TestHost host;
  auto plugin = openCompressor(host);
  ASSERT_TRUE(plugin);
  plugin->resume();
  plugin->processEvents({{0, 0x90, 60, 100}, {10, 0x80, 60, 0}, {20, 0xB0, 7, 90}});
  plugin->processEvents({});
  plugin->setSpeakerArrangement(vst::kSpeakerArrStereo, 2, vst::kSpeakerArrStereo, 2);
  plugin->tailSize();
  plugin->suspend();
  const std::vector<uint8_t> chunk = plugin->getChunk();
  if (plugin->hasFlag(vst::effFlagsProgramChunks)) {
    EXPECT_FALSE(chunk.empty());
    plugin->setChunk(chunk);
  }
}

TEST(TestHostLsp, ParametersRoundTrip) {
  SKIP_WITHOUT_LSP();
  TestHost host;
  auto plugin = openCompressor(host);
  ASSERT_TRUE(plugin);
  ASSERT_GT(plugin->numParams(), 1);
  plugin->setParameter(1, 0.25f);
  EXPECT_NEAR(plugin->getParameter(1), 0.25f, 0.01f);
}

TEST(TestHostLsp, CloseForgetsTheRecord) {
  SKIP_WITHOUT_LSP();
  TestHost host;
  auto plugin = openCompressor(host);
  ASSERT_TRUE(plugin);
  plugin->close();
  EXPECT_FALSE(plugin->isOpen());
  EXPECT_EQ(plugin->effect(), nullptr);
  EXPECT_EQ(plugin->numInputs(), 0);
  EXPECT_EQ(plugin->dispatch(vst::effGetVstVersion), 0);
  EXPECT_FALSE(plugin->effectName().written);
  plugin->close();  // a second close is a no-op
}

TEST(TestHostLsp, AnswersOldAndScannerStyleHosts) {
  SKIP_WITHOUT_LSP();
  for (intptr_t version : {0, 2, 2400}) {
    testhost::HostConfig config;
    config.version = version;
    config.sampleRate = 0;
    config.blockSize = 0;
    TestHost host(config);
    ASSERT_TRUE(host.load(kLspCompressor)) << host.error();
    auto plugin = host.createInstance();
    if (version == 0 && !plugin) {
      // LSP refuses a host that answers version 0: the "no instance" path of the loader.
      EXPECT_NE(host.error().find("returned no instance"), std::string::npos) << host.error();
      continue;
    }
    ASSERT_TRUE(plugin) << "version " << version << ": " << host.error();
    plugin->open();
    EXPECT_EQ(plugin->numOutputs(), 2);
    plugin->close();
  }
}

TEST(TestHostLsp, SeveralInstancesAndHostsKeepTheirCallbacksApart) {
  SKIP_WITHOUT_LSP();
  TestHost hostA;
  TestHost hostB;
  auto a1 = openCompressor(hostA);
  ASSERT_TRUE(a1);
  auto a2 = hostA.createInstance();
  ASSERT_TRUE(a2) << hostA.error();
  a2->open();
  auto b = openCompressor(hostB);
  ASSERT_TRUE(b);
  for (const testhost::HostCall& c : hostA.calls()) EXPECT_NE(c.effect, b->effect());
  for (const testhost::HostCall& c : hostB.calls()) {
    EXPECT_NE(c.effect, a1->effect());
    EXPECT_NE(c.effect, a2->effect());
  }
  EXPECT_EQ(hostA.count(vst::audioMasterVersion), 2 * hostB.count(vst::audioMasterVersion));
}

TEST(TestHostLsp, DestroyingTheHostClosesLiveInstances) {
  SKIP_WITHOUT_LSP();
  std::unique_ptr<TestPlugin> plugin;
  {
    TestHost host;
    plugin = openCompressor(host);
    ASSERT_TRUE(plugin);
  }
  EXPECT_FALSE(plugin->isOpen());
  EXPECT_EQ(plugin->host(), nullptr);
}

// The host callback, driven directly as a plug-in would.
TEST(TestHostCallback, AnswersFromItsConfiguration) {
  SKIP_WITHOUT_LSP();
  testhost::HostConfig config;
  config.tempo = 97.0;
  config.sampleRate = 48000;
  config.processLevel = vst::kProcessLevelOffline;
  TestHost host(config);
  auto plugin = openCompressor(host);
  ASSERT_TRUE(plugin);
  vst::AEffect* e = plugin->effect();
  host.clearCalls();
  EXPECT_EQ(TestHost::callback(e, vst::audioMasterVersion, 0, 0, nullptr, 0.0f), 2400);
  EXPECT_EQ(TestHost::callback(e, vst::audioMasterGetSampleRate, 0, 0, nullptr, 0.0f), 48000);
  EXPECT_EQ(TestHost::callback(e, vst::audioMasterGetBlockSize, 0, 0, nullptr, 0.0f), 1024);
  EXPECT_EQ(TestHost::callback(e, vst::audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f),
            vst::kProcessLevelOffline);
  const intptr_t t = TestHost::callback(e, vst::audioMasterGetTime, 0, vst::kVstTempoValid, nullptr, 0.0f);
  ASSERT_NE(t, 0);
  const auto* info = reinterpret_cast<const vst::VstTimeInfo*>(t);
  EXPECT_TRUE(info->flags & vst::kVstTempoValid);
  EXPECT_DOUBLE_EQ(info->tempo, 97.0);
  char yes[] = "sendVstTimeInfo";
  char no[] = "offline";
  EXPECT_EQ(TestHost::callback(e, vst::audioMasterCanDo, 0, 0, yes, 0.0f), 1);
  EXPECT_EQ(TestHost::callback(e, vst::audioMasterCanDo, 0, 0, no, 0.0f), 0);
  char vendor[64];
  EXPECT_EQ(TestHost::callback(e, vst::audioMasterGetVendorString, 0, 0, vendor, 0.0f), 1);
  EXPECT_STREQ(vendor, config.vendor.c_str());
  TestHost::callback(e, vst::audioMasterAutomate, 3, 0, nullptr, 0.75f);
  const auto automations = host.calls(vst::audioMasterAutomate);
  ASSERT_EQ(automations.size(), 1u);
  EXPECT_EQ(automations[0].index, 3);
  EXPECT_FLOAT_EQ(automations[0].opt, 0.75f);
  const auto canDos = host.calls(vst::audioMasterCanDo);
  ASSERT_EQ(canDos.size(), 2u);
  EXPECT_EQ(canDos[1].text, "offline");
  EXPECT_EQ(host.opcodes().front(), vst::audioMasterVersion);
  // A request for an effect nobody knows, outside any entry call, is answered 0.
  vst::AEffect stranger{};
  EXPECT_EQ(TestHost::callback(&stranger, vst::audioMasterVersion, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(TestHost::callback(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f), 0);
}

// ----- The loader's error paths -----

TEST(TestHostLoader, MissingFile) {
  TestHost host;
  EXPECT_FALSE(host.load("/nonexistent/folder/plugin.so"));
  EXPECT_FALSE(host.loaded());
  EXPECT_NE(host.error().find("no such file"), std::string::npos) << host.error();
  EXPECT_NE(host.error().find("/nonexistent/folder/plugin.so"), std::string::npos);
  EXPECT_EQ(host.createInstance(), nullptr);
  EXPECT_NE(host.error().find("no plug-in library is loaded"), std::string::npos);
}

TEST(TestHostLoader, FileThatIsNotASharedObject) {
  TempDir dir;
  const std::string path = dir.write("fake.so", "this is plain text, not an ELF file\n");
  TestHost host;
  EXPECT_FALSE(host.load(path));
  EXPECT_NE(host.error().find("cannot load"), std::string::npos) << host.error();
  EXPECT_NE(host.error().find(path), std::string::npos);
}

TEST(TestHostLoader, SharedObjectWithoutEntryPoints) {
  // The C maths library is a shared object that exports neither entry symbol.
  void* libm = dlopen("libm.so.6", RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(libm, nullptr) << dlerror();
  link_map* map = nullptr;
  ASSERT_EQ(dlinfo(libm, RTLD_DI_LINKMAP, &map), 0);
  ASSERT_NE(map, nullptr);
  const std::string path = map->l_name;
  dlclose(libm);
  ASSERT_TRUE(std::filesystem::exists(path)) << path;

  TestHost host;
  EXPECT_FALSE(host.load(path));
  EXPECT_NE(host.error().find("exports neither VSTPluginMain nor main"), std::string::npos)
      << host.error();
  EXPECT_EQ(host.createInstance(), nullptr);
}

TEST(TestHostLoader, SecondLoadIsRefused) {
  SKIP_WITHOUT_LSP();
  TestHost host;
  ASSERT_TRUE(host.load(kLspCompressor)) << host.error();
  EXPECT_FALSE(host.load(kLspCompressor));
  EXPECT_NE(host.error().find("already loaded"), std::string::npos);
  EXPECT_TRUE(host.loaded());
}

TEST(TestHostText, FourCharacterIds) {
  EXPECT_EQ(testhost::fourCCText(0x6B685A6A), "khZj");
  EXPECT_EQ(testhost::fourCCText(vst::kEffectMagic), "VstP");
  EXPECT_EQ(testhost::fourCCText(0x00410142), ".A.B");
}

}  // namespace
