// The built plug-in loaded the way a host loads it: dlopen, entry point, dispatcher.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "testhost/TestHost.h"

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
    EXPECT_EQ(plugin->plugCategory(), 0);  // before open, as some scanners ask
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
