// The built plug-in loaded the way a host loads it: dlopen, entry point, dispatcher.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"
#include "testhost/TestHost.h"

#include <filesystem>

namespace {

std::string pluginPath() {
  const char* p = std::getenv("OSTREL_PLUGIN");
  return p ? p : "build/vst/Ostrel3.so";
}

}  // namespace

TEST(LoadedPluginTest, VersionZeroGetsNoInstance) {
  testhost::HostConfig config;
  config.version = 0;
  testhost::TestHost host(config);
  ASSERT_TRUE(host.load(pluginPath())) << host.error();
  EXPECT_EQ(host.createInstance(), nullptr);
  EXPECT_TRUE(host.received(vst::audioMasterVersion));
}

TEST(LoadedPluginTest, WhatAHostSees) {
  struct Case {
    intptr_t version, rate, block;
  };
  // Ardour's scanner answers 2400 with rate and block 0; another scanner answers version 2.
  for (const Case& c : {Case{2400, 44100, 1024}, Case{2400, 0, 0}, Case{2, 0, 0}}) {
    testhost::HostConfig config;
    config.version = c.version;
    config.sampleRate = c.rate;
    config.blockSize = c.block;
    testhost::TestHost host(config);
    ASSERT_TRUE(host.load(pluginPath())) << host.error();
    auto plugin = host.createInstance();
    ASSERT_NE(plugin, nullptr) << host.error();
    EXPECT_EQ(plugin->magic(), vst::kEffectMagic);
    EXPECT_EQ(plugin->numParams(), 10);
    EXPECT_EQ(plugin->numPrograms(), 1);
    EXPECT_EQ(plugin->numInputs(), 2);
    EXPECT_EQ(plugin->numOutputs(), 2);
    EXPECT_EQ(plugin->uniqueId(), vst::fourCC('k', 'h', 'Z', 'j'));
    EXPECT_EQ(plugin->flags(), vst::effFlagsCanMono | vst::effFlagsCanReplacing |
                                   vst::effFlagsProgramChunks | vst::effFlagsCanDoubleReplacing);
    EXPECT_EQ(plugin->plugCategory(), 1);  // before open, as some scanners ask
    plugin->open();
    const testhost::PluginText name = plugin->effectName();
    EXPECT_EQ(name.text, "Ostrel3");
    EXPECT_FALSE(name.overran);
    EXPECT_EQ(plugin->vstVersion(), 2400);
    plugin->resume();
    testhost::AudioBus<float> in(2, 256), out(2, 256);
    in.fill(0.25f);
    EXPECT_TRUE(plugin->processReplacing(in, out, 256));
    testhost::AudioBus<double> din(2, 64), dout(2, 64);
    EXPECT_TRUE(plugin->processDoubleReplacing(din, dout, 64));
    plugin->suspend();
    plugin->close();
  }
}

TEST(LoadedPluginTest, InstancesOnTwoThreadsComeAndGo) {
  // One host per thread, both on the same library in one process.
  auto cycles = [] {
    testhost::TestHost host;
    ASSERT_TRUE(host.load(pluginPath())) << host.error();
    for (int i = 0; i < 100; ++i) {
      auto plugin = host.createInstance();
      ASSERT_NE(plugin, nullptr);
      plugin->open();
      plugin->close();
    }
  };
  std::thread a(cycles), b(cycles);
  a.join();
  b.join();
}

namespace {

// A copy of the plug-in in a folder of its own, with the master file the test writes beside it.
struct InstalledCopy {
  TempDir dir;
  std::string so;
  explicit InstalledCopy(const std::string& master) {
    so = (dir.path() / "Ostrel3.so").string();
    std::filesystem::copy_file(pluginPath(), so);
    dir.write("Ostrel3.xml", master);
  }
};

}  // namespace

TEST(LoadedPluginTest, MasterFileSetsIdentityAndChannels) {
  struct Case {
    const char* keys;
    int32_t id;
    int32_t inputs;
  };
  const Case cases[] = {
      {"<MAGIC> AbCd </MAGIC>", 0x41624364, 2},
      {"<LEGACYSTEREOCHANNEL> 0 </LEGACYSTEREOCHANNEL>", vst::fourCC('k', 'h', 'Z', 'j'), 4},
      {"<MAGIC> 0 </MAGIC>", vst::fourCC('k', 'h', 'Z', 'j'), 2},
  };
  for (const Case& c : cases) {
    InstalledCopy copy(std::string("<MASTER>") + c.keys + "<DATAPATH> data/ </DATAPATH></MASTER>");
    testhost::TestHost host;
    ASSERT_TRUE(host.load(copy.so)) << host.error();
    auto plugin = host.createInstance();
    ASSERT_NE(plugin, nullptr) << host.error();
    EXPECT_EQ(plugin->uniqueId(), c.id) << c.keys;
    EXPECT_EQ(plugin->numInputs(), c.inputs) << c.keys;
    EXPECT_EQ(plugin->numOutputs(), 2);
    plugin->close();
  }
}

TEST(LoadedPluginTest, HostAdapterAnswers) {
  testhost::TestHost host;
  ASSERT_TRUE(host.load(pluginPath())) << host.error();
  auto plugin = host.createInstance();
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(plugin->vendorString().text, "Pelto");
  EXPECT_EQ(plugin->vendorVersion(), 1200);
  EXPECT_EQ(plugin->plugCategory(), 1);
  EXPECT_EQ(plugin->canDo("receiveVstEvents"), 1);
  EXPECT_EQ(plugin->canDo("receiveVstMidiEvent"), 1);
  EXPECT_EQ(plugin->canDo("receiveVstEventsX"), -1);
  EXPECT_EQ(plugin->canDo("bypass"), -1);
  EXPECT_EQ(plugin->dispatch(vst::effGetNumMidiInputChannels), 1);
  // Index 10 is not a parameter: the host's buffer stays as it was.
  const testhost::PluginText none = plugin->paramName(10);
  EXPECT_FALSE(none.written);
  // While the boot is pending the chunk says "NOCHUNK" and restoring it loads nothing.
  void* data = nullptr;
  const intptr_t size = plugin->dispatch(vst::effGetChunk, 0, 0, &data);
  EXPECT_EQ(size, 131072);
  ASSERT_NE(data, nullptr);
  EXPECT_STREQ(static_cast<const char*>(data), "NOCHUNK");
  EXPECT_EQ(plugin->dispatch(vst::effSetChunk, 0, size, data), 1);
  // Untrusted chunks: no terminator, embedded NULs, zero size, null data.
  std::vector<char> noNul(5000, 'x');
  EXPECT_EQ(plugin->dispatch(vst::effSetChunk, 0, static_cast<intptr_t>(noNul.size()), noNul.data()), 1);
  const char embedded[] = {'<', 'A', '\0', '>', 'B'};
  EXPECT_EQ(plugin->dispatch(vst::effSetChunk, 0, 5, const_cast<char*>(embedded)), 1);
  EXPECT_EQ(plugin->dispatch(vst::effSetChunk, 0, 0, nullptr), 1);
  EXPECT_EQ(plugin->dispatch(vst::effSetSpeakerArrangement, 0, 0, nullptr), 0);
  plugin->close();
}
