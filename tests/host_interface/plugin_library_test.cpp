// quillo.so as a host sees it: loaded with dlopen, entered through its exported names.

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>

namespace {

class PluginLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        FakeHost::reset();
        library = dlopen(QUILLO_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        entry = reinterpret_cast<VstPluginMainProc>(dlsym(library, "VSTPluginMain"));
        ASSERT_NE(entry, nullptr);
    }
    void TearDown() override {
        if (library) dlclose(library);
    }

    AEffect* create() {
        FakeHost::answers[audioMasterVersion] = 2400;
        return entry(&FakeHost::callback);
    }
    static intptr_t dispatch(AEffect* effect, int32_t opcode, intptr_t value = 0,
                             void* ptr = nullptr) {
        return effect->dispatcher(effect, opcode, 0, value, ptr, 0.0f);
    }

    void* library = nullptr;
    VstPluginMainProc entry = nullptr;
};

TEST_F(PluginLibrary, ExportsOneFunctionUnderBothNames) {
    void* main = dlsym(library, "main");
    EXPECT_EQ(main, reinterpret_cast<void*>(entry));
    // The factory stays inside the library.
    EXPECT_EQ(dlsym(library, "createEffectInstance"), nullptr);
}

TEST_F(PluginLibrary, NoRecordWithoutAHost) {
    EXPECT_EQ(entry(nullptr), nullptr);
}

TEST_F(PluginLibrary, NoRecordWhenTheHostAnswersVersionZero) {
    EXPECT_EQ(entry(&FakeHost::callback), nullptr);
    ASSERT_EQ(FakeHost::calls.size(), 1u);
    EXPECT_EQ(FakeHost::calls[0], (HostCall{nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f}));
}

TEST_F(PluginLibrary, RecordOfANewInstance) {
    AEffect* effect = create();
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(FakeHost::calls.at(0), (HostCall{nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f}));

    EXPECT_EQ(effect->magic, fourCharCode('V', 's', 't', 'P'));
    EXPECT_EQ(effect->numPrograms, 32);
    EXPECT_EQ(effect->numParams, 36);
    EXPECT_EQ(effect->numInputs, 0);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->flags, 0x110);
    EXPECT_EQ(effect->uniqueID, 0x716C6F31);
    EXPECT_EQ(effect->version, 1);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(effect->resvd1, 0);
    EXPECT_EQ(effect->resvd2, 0);
    EXPECT_EQ(effect->user, nullptr);
    EXPECT_NE(effect->object, nullptr);
    const char zeros[sizeof(effect->future)] = {};
    EXPECT_EQ(std::memcmp(effect->future, zeros, sizeof(zeros)), 0);

    EXPECT_EQ(dispatch(effect, effIdentify), 0x4E764566);
    EXPECT_EQ(dispatch(effect, effGetPlugCategory), kPlugCategSynth);
    EXPECT_EQ(dispatch(effect, effGetVstVersion), 2400);
    EXPECT_EQ(dispatch(effect, effClose), 1);
}

TEST_F(PluginLibrary, InstancesAreIndependent) {
    AEffect* first = create();
    AEffect* second = create();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_NE(first->object, second->object);

    EXPECT_EQ(dispatch(first, effClose), 1);
    dispatch(second, effSetProgram, 5);
    EXPECT_EQ(dispatch(second, effGetProgram), 5);
    EXPECT_EQ(dispatch(second, effClose), 1);
}

} // namespace
