// quillo-render end to end: MIDI files written here, rendered by the executable
// through Quillo, the probe plug-in and the installed third-party instruments.
#include "tests/render/midi_bytes.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::string_literals;
using namespace midi_bytes;

namespace {

const std::string kQuillo = QUILLO_PLUGIN;
const std::string kNekobi = "/usr/lib/vst/Nekobi-vst.so";
const std::string kAmsynth = "/usr/lib/vst/amsynth_vst.so";
const std::string kQuilloLv2 = QUILLO_LV2_BUNDLE;
const std::string kNekobiLv2 = "/usr/lib/lv2/Nekobi.lv2";
const std::string kProbe = std::string(PROBE_DIR) + "/probe_synth.so";

struct RunResult {
    int status;
    std::string out;
    std::string err;
};

struct Wav {
    int rate = 0;
    int channels = 0;
    std::vector<float> samples; // interleaved
    int64_t frames() const {
        return channels ? static_cast<int64_t>(samples.size()) / channels : 0;
    }
    float at(int64_t frame, int channel = 0) const { return samples[frame * channels + channel]; }
};

std::string shellWord(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

size_t lineCount(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

class RenderCli : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::path(testing::TempDir()) / "quillo-render-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        // A note-on at 0.5 s and its note-off at 1 s; the track ends at 1.5 s.
        song_ = path("song.mid");
        save(song_,
             file(0, 480,
                  {track({tempo(0, 500000), {480, {0x90, 60, 100}}, {480, {0x80, 60, 0}}}, 480)}));
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // The command line that runs quillo-render with these arguments.
    static std::string renderCommand(const std::vector<std::string>& arguments) {
        // amsynth leaks at exit; in sanitizer builds that is its business, not ours.
        const bool amsynth =
            std::find(arguments.begin(), arguments.end(), kAmsynth) != arguments.end();
        std::string command =
            amsynth ? "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" " : "";
        command += shellWord(QUILLO_RENDER);
        for (const std::string& argument : arguments)
            command += " " + shellWord(argument);
        return command;
    }

    RunResult run(const std::vector<std::string>& arguments) const {
        return runShell(renderCommand(arguments));
    }

    // A shell command in the test directory, its stdout and stderr caught.
    RunResult runShell(const std::string& shellCommand) const {
        const std::string command = "cd " + shellWord(dir_.string()) + " && { " + shellCommand +
                                    "; } >" + shellWord(path("stdout.txt")) + " 2>" +
                                    shellWord(path("stderr.txt"));
        const int status = std::system(command.c_str());
        RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(path("stdout.txt")),
                         slurp(path("stderr.txt"))};
        fs::remove(path("stdout.txt"));
        fs::remove(path("stderr.txt"));
        return result;
    }

    static Wav readWav(const std::string& file) {
        Wav wav;
        SF_INFO info{};
        SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
        if (!sound) return wav;
        wav.rate = info.samplerate;
        wav.channels = info.channels;
        wav.samples.resize(static_cast<size_t>(info.frames * info.channels));
        sf_readf_float(sound, wav.samples.data(), info.frames);
        sf_close(sound);
        return wav;
    }

    // WAV files and temporary files in the test directory: a failed run leaves none.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            const std::string extension = entry.path().extension().string();
            if (extension == ".wav" || extension == ".part") {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }

    void clearOutputs() const {
        for (const std::string& name : leftovers())
            fs::remove(path(name));
    }

    // One line on stderr naming the problem, a non-zero status, nothing written.
    void expectRefused(const std::vector<std::string>& arguments, const std::string& problem) {
        const RunResult result = run(arguments);
        EXPECT_NE(result.status, 0);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(lineCount(result.err), 1u) << result.err;
        EXPECT_EQ(result.err.rfind("quillo-render: ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(problem), std::string::npos)
            << "expected \"" << problem << "\" in: " << result.err;
        EXPECT_EQ(leftovers(), std::vector<std::string>{}) << result.err;
    }

    fs::path dir_;
    std::string song_;
};

// A note-on at 0 and its note-off at half a second.
const Bytes kSecond = file(0, 480, {track({{0, {0x90, 62, 100}}, {480, {0x80, 62, 0}}})});

float peakOf(const Wav& wav) {
    float peak = 0.0f;
    for (float sample : wav.samples)
        peak = std::max(peak, std::fabs(sample));
    return peak;
}

} // namespace

TEST_F(RenderCli, RendersANoteThroughQuilloFromItsFrame) {
    const std::string out = path("song.wav");
    for (int rate : {44100, 48000}) {
        const RunResult result = run({"--plugin", kQuillo, "--rate", std::to_string(rate), "--tail",
                                      "0", "--block", "256", song_});
        ASSERT_EQ(result.status, 0) << result.err;
        const Wav wav = readWav(out); // default name: the MIDI file's, with .wav
        EXPECT_EQ(wav.rate, rate);
        EXPECT_EQ(wav.channels, 2);
        EXPECT_EQ(wav.frames(), rate + 1); // up to the note-off's frame
        const int64_t noteFrame = rate / 2;
        int64_t firstSound = -1;
        for (int64_t frame = 0; frame < wav.frames() && firstSound < 0; ++frame) {
            if (wav.at(frame) != 0.0f) firstSound = frame;
        }
        EXPECT_GE(firstSound, noteFrame);
        EXPECT_LT(firstSound, noteFrame + 16);
        EXPECT_GT(peakOf(wav), 0.05f);
        EXPECT_EQ(wav.at(noteFrame + 2000, 0), wav.at(noteFrame + 2000, 1));
    }
}

TEST_F(RenderCli, TheTailRunsPastTheEndUntilSilence) {
    const RunResult result = run({"--plugin", kQuillo, "--param", "Env2 Rel=0.2", song_});
    ASSERT_EQ(result.status, 0) << result.err;
    const Wav wav = readWav(path("song.wav"));
    EXPECT_GT(wav.frames(), 44100 + 11025);
    EXPECT_LE(wav.frames(), 44100 + 5 * 44100);
    for (int64_t frame = wav.frames() - 11025; frame < wav.frames(); ++frame) {
        ASSERT_LT(std::fabs(wav.at(frame)), 3.2e-5f) << "frame " << frame;
    }
}

TEST_F(RenderCli, ParametersAndProgramsChangeTheSound) {
    auto render = [&](std::vector<std::string> options, const std::string& name) {
        options.insert(options.end(), {"--tail", "0", "-o", path(name), song_});
        const RunResult result = run(options);
        EXPECT_EQ(result.status, 0) << result.err;
        return readWav(path(name)).samples;
    };
    const auto plain = render({"--plugin", kQuillo}, "plain.wav");
    const auto byName = render({"--plugin", kQuillo, "--param", "cutoff=0.2"}, "name.wav");
    const auto byIndex = render({"--plugin", kQuillo, "--param", "15=0.2"}, "index.wav");
    EXPECT_NE(plain, byName);
    EXPECT_EQ(byName, byIndex);
    // Quillo's programs start out identical; a program keeps the changes made to it.
    EXPECT_EQ(render({"--plugin", kQuillo, "--program", "31"}, "p31.wav"), plain);
    EXPECT_EQ(render({"--plugin", kQuillo, "--program", "31", "--param", "Cutoff=0.2"}, "p.wav"),
              byName);

    if (!fs::exists(kAmsynth)) GTEST_SKIP() << kAmsynth << " is not installed";
    EXPECT_NE(render({"--plugin", kAmsynth, "--program", "0"}, "a0.wav"),
              render({"--plugin", kAmsynth, "--program", "5"}, "a5.wav"));
}

TEST_F(RenderCli, ListsQuillosParametersWithTheirTexts) {
    const RunResult result = run({"--plugin", kQuillo, "--list-params", "--param", "Wave1=0.3"});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<std::string> names = {
        "Wave1",     "Fine1",    "Coase1",    "PW1",      "Wave2",     "Fine2",
        "Coase2",    "PW2",      "OscMix",    "Sync",     "RingMod",   "Glide",
        "GlideTyp",  "GlideDep", "Filter",    "Cutoff",   "Reso",      "Env1 Att",
        "Env1 Dec",  "Env1 Sus", "Env1 Rel",  "Env1 Dep", "Env2 Att",  "Env2 Dec",
        "Env2 Sus",  "Env2 Rel", "Env2 Dep",  "LFO1 Typ", "LFO1 Rate", "LFO1 Dep",
        "LFO1 Dest", "LFO2 Typ", "LFO2 Rate", "LFO2 Dep", "LFO2 Dest", "Volume"};
    std::istringstream lines(result.out);
    std::string line;
    std::getline(lines, line); // heading
    std::vector<std::string> rows;
    while (std::getline(lines, line))
        rows.push_back(line);
    ASSERT_EQ(rows.size(), names.size()) << result.out;
    for (size_t i = 0; i < names.size(); ++i) {
        std::istringstream row(rows[i]);
        int index = -1;
        row >> index;
        EXPECT_EQ(index, static_cast<int>(i));
        EXPECT_NE(rows[i].find("  " + names[i] + "  "), std::string::npos) << rows[i];
    }
    auto text = [&](size_t index) { return rows[index].substr(rows[index].rfind("  ") + 2); };
    EXPECT_EQ(text(0), "Pulse"); // set by --param
    EXPECT_NE(rows[0].find("0.300000"), std::string::npos);
    EXPECT_EQ(text(4), "Saw");
    EXPECT_EQ(text(9), "OFF");
    EXPECT_EQ(text(12), "Time");
    EXPECT_EQ(text(14), "Lo-pass");
    EXPECT_EQ(text(15), "100");
    EXPECT_EQ(text(30), "----");
    EXPECT_EQ(text(35), "-1.93820");
}

TEST_F(RenderCli, InfoShowsIdentityCapabilitiesAndNames) {
    // No --plugin: the quillo.so built beside the executable.
    const RunResult result = run({"--info"});
    ASSERT_EQ(result.status, 0) << result.err;
    for (const char* expected :
         {"quillo.so", "Effect name     Quillo", "Vendor          Mirefold",
          "Product         Quillo", "Vendor version  1000", "VST version     2400",
          "Unique id       1902931761 'qlo1'", "Category        2 (synth)", "Parameters      36",
          "Outputs         2", "Flags           0x110 (canReplacing isSynth)",
          "receiveVstEvents      yes (1)", "sendVstEvents         no (-1)", "35  Volume"}) {
        EXPECT_NE(result.out.find(expected), std::string::npos) << expected << "\n" << result.out;
    }
}

TEST_F(RenderCli, RendersThirdPartyInstruments) {
    for (const std::string& plugin : {kNekobi, kAmsynth}) {
        if (!fs::exists(plugin)) {
            std::cout << "skipping " << plugin << ": not installed\n";
            continue;
        }
        const std::string out = path("third.wav");
        const RunResult result = run({"--plugin", plugin, "--format", "s16", "-o", out, song_});
        ASSERT_EQ(result.status, 0) << plugin << ": " << result.err;
        const Wav wav = readWav(out);
        EXPECT_GT(wav.frames(), 44100) << plugin;
        EXPECT_GT(peakOf(wav), 0.01f) << plugin;
        for (int64_t frame = 0; frame < 44100 / 2; ++frame)
            ASSERT_EQ(wav.at(frame), 0.0f);
        fs::remove(out);
    }
    if (!fs::exists(kNekobi) && !fs::exists(kAmsynth)) GTEST_SKIP() << "no third-party synths";
}

// One instrument, two formats: the same samples, whatever the blocks.
TEST_F(RenderCli, QuilloAsLv2RendersTheSameAudioAsQuilloAsVst2) {
    const std::string phrase = PHRASE_MIDI;
    for (const char* block : {"1", "64", "4096"}) {
        for (const std::vector<std::string>& input :
             {std::vector<std::string>{"--demo"}, std::vector<std::string>{phrase}}) {
            std::vector<std::string> lv2 = {"--plugin", kQuilloLv2, "--block",
                                            block,      "-o",       path("lv2.wav")};
            std::vector<std::string> vst = {"--plugin", kQuillo, "--block",
                                            block,      "-o",    path("vst.wav")};
            lv2.insert(lv2.end(), input.begin(), input.end());
            vst.insert(vst.end(), input.begin(), input.end());
            ASSERT_EQ(run(lv2).status, 0);
            ASSERT_EQ(run(vst).status, 0);
            const Wav a = readWav(path("lv2.wav")), b = readWav(path("vst.wav"));
            ASSERT_GT(a.frames(), 44100) << input[0];
            ASSERT_EQ(a.samples.size(), b.samples.size()) << input[0] << ", block " << block;
            EXPECT_EQ(
                std::memcmp(a.samples.data(), b.samples.data(), a.samples.size() * sizeof(float)),
                0)
                << input[0] << ", block " << block;
        }
    }
}

// Another LV2 instrument, found by its bundle or by its URI on LV2_PATH, its
// parameters by symbol; and the LV2 plug-ins that cannot be rendered, refused.
TEST_F(RenderCli, RendersLv2InstrumentsByBundleOrUri) {
    expectRefused({"--plugin", dir_.string(), song_}, "not an LV2 bundle");
    expectRefused({"--plugin", "urn:example:nothing", song_}, "no LV2 plug-in with this URI");
    if (!fs::exists(kNekobiLv2)) GTEST_SKIP() << kNekobiLv2 << " is not installed";

    const RunResult byBundle =
        run({"--plugin", kNekobiLv2, "--param", "cutoff=0.8", "-o", path("a.wav"), song_});
    ASSERT_EQ(byBundle.status, 0) << byBundle.err;
    const RunResult byUri =
        runShell("LV2_PATH=/usr/lib/lv2 " +
                 renderCommand({"--plugin", "http://distrho.sf.net/plugins/Nekobi", "--param",
                                "Cutoff=0.8", "-o", path("b.wav"), song_}));
    ASSERT_EQ(byUri.status, 0) << byUri.err;
    const Wav a = readWav(path("a.wav")), b = readWav(path("b.wav"));
    EXPECT_GT(peakOf(a), 0.01f);
    EXPECT_EQ(a.samples, b.samples);
    for (int64_t frame = 0; frame < 44100 / 2; ++frame)
        ASSERT_EQ(a.at(frame), 0.0f);

    const RunResult info = run({"--plugin", kNekobiLv2, "--info", "--list-params"});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("http://distrho.sf.net/plugins/Nekobi (LV2)"), std::string::npos);
    EXPECT_NE(info.out.find("cutoff"), std::string::npos) << info.out;
}

TEST_F(RenderCli, PrintsOneSummaryLineUnlessQuiet) {
    const std::string out = path("probe.wav");
    RunResult result = run({"--plugin", kProbe, "--format", "s24", "-o", out, song_});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(lineCount(result.out), 1u);
    EXPECT_EQ(result.out.rfind(
                  out + ": 1.25 s of audio (55125 frames, 44100 Hz, s24), peak -6.0 dBFS", 0),
              0u)
        << result.out;
    EXPECT_NE(result.out.find("x real time"), std::string::npos);
    EXPECT_EQ(result.err, ""); // no progress bar when stderr is no terminal

    result = run({"--plugin", kProbe, "--quiet", "-o", out, song_});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out + result.err, "");

    result = run({"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("Usage: quillo-render"), std::string::npos);
}

TEST_F(RenderCli, DemoRendersItsOwnPhrase) {
    const std::string out = path("demo.wav");
    const RunResult result = run({"--demo", "--plugin", kQuillo, "-o", out});
    ASSERT_EQ(result.status, 0) << result.err;
    const Wav wav = readWav(out);
    EXPECT_GT(wav.frames(), 15 * 44100);
    EXPECT_GT(peakOf(wav), 0.05f);
}

TEST_F(RenderCli, RefusesBadMidiFilesAndWarnsAboutFlawedOnes) {
    const Bytes good = file(0, 480, {track({{0, {0x90, 60, 100}}, {480, {0x80, 60, 0}}})});
    const std::string garbage = path("garbage.mid");
    std::ofstream(garbage) << "MThe quick brown fox\n";
    const std::string truncated = path("truncated.mid");
    save(truncated, Bytes(good.begin(), good.end() - 4));

    const std::string probe = "--plugin=" + kProbe;
    auto refused = [&](const std::string& midi, const std::string& problem) {
        expectRefused({probe, "-o", path("out.wav"), midi}, midi + ": " + problem);
    };
    refused(path("missing.mid"), "No such file or directory");
    refused(dir_.string(), "is a directory");
    refused(garbage, "not a Standard MIDI File");
    refused(truncated, "malformed MIDI file: track 1 is cut short");
    if (geteuid() != 0) { // root reads anything
        const std::string locked = path("locked.mid");
        save(locked, good);
        fs::permissions(locked, fs::perms::none);
        refused(locked, "Permission denied");
    }

    // A track without its End of Track event plays, with a warning.
    const std::string noEnd = path("noend.mid");
    Bytes noEndBytes = good;
    noEndBytes.resize(noEndBytes.size() - 4);
    noEndBytes[21] -= 4;
    save(noEnd, noEndBytes);
    const RunResult result = run({probe, "-q", "-o", path("out.wav"), noEnd});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "quillo-render: warning: " + noEnd +
                              ": track 1 has no End of Track event; it ends with its last event\n");
    EXPECT_EQ(readWav(path("out.wav")).at(100), 0.5f);
}

TEST_F(RenderCli, RefusesLibrariesThatAreNotInstruments) {
    const std::string notLibrary = path("text.so");
    std::ofstream(notLibrary) << "not a library\n";
    const std::string probes = std::string(PROBE_DIR) + "/probe_";
    auto refused = [&](const std::string& plugin, const std::string& problem) {
        expectRefused({"--plugin", plugin, song_}, plugin + ": " + problem);
    };
    refused(path("none.so"), "no such plug-in file");
    refused(notLibrary, "cannot load as a plug-in library");
    refused(probes + "no_entry.so", "not a VST 2 plug-in: exports neither VSTPluginMain nor main");
    refused(probes + "null_entry.so", "not a VST 2 plug-in: its entry point returned no effect");
    refused(probes + "bad_magic.so", "not a VST 2 plug-in: the effect record has the wrong magic");
    refused(probes + "effect.so", "not an instrument");
}

TEST_F(RenderCli, APlugInThatCrashesMidwayLeavesNoFile) {
    const std::string out = path("out.wav");
    const RunResult result =
        run({"--plugin", std::string(PROBE_DIR) + "/probe_crash.so", "-o", out, song_});
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.err.find("quillo-render: stopped by a signal; " + out + " was not written"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(leftovers(), std::vector<std::string>{});

    // Side by side: every file in progress goes.
    save(path("second.mid"), Bytes(kSecond.begin(), kSecond.end()));
    const RunResult both = run({"--plugin", std::string(PROBE_DIR) + "/probe_crash.so", "--jobs",
                                "2", "--output-dir", dir_.string(), song_, path("second.mid")});
    EXPECT_NE(both.status, 0);
    EXPECT_EQ(leftovers(), std::vector<std::string>{}) << both.err;
}

TEST_F(RenderCli, RefusesBadSettings) {
    auto refused = [&](std::vector<std::string> options, const std::string& problem) {
        options.insert(options.begin(), {"--plugin", kProbe});
        options.push_back(song_);
        expectRefused(options, problem);
    };
    refused({"--param", "Loudness=0.5"}, "no parameter 'Loudness'");
    refused({"--param", "2=0.5"}, "index out of range");
    refused({"--param", "Level=1.5"}, "'Level' never shows '1.5' (its texts are probe)");
    refused({"--param", "Level"}, "NAME=VALUE");
    refused({"--program", "1"}, "the plug-in has 1 programs");
    refused({"--rate", "0"}, "--rate: '0' is not a positive whole number");
    refused({"--rate", "-44100"}, "is not a positive whole number");
    refused({"--rate", "fast"}, "is not a positive whole number");
    refused({"--block", "0"}, "--block: '0' is not a positive whole number");
    refused({"--block", "1.5"}, "is not a positive whole number");
    refused({"--format", "mp3"}, "--format");
    refused({"--tail", "-1"}, "--tail");
    refused({"--bogus"}, "unknown option --bogus");
    expectRefused({"--plugin", kProbe}, "no MIDI file given");
}

TEST_F(RenderCli, RefusesOutputsThatCannotBeWritten) {
    auto refused = [&](const std::string& output) {
        expectRefused({"--plugin", kProbe, "-o", output, song_}, output + ": cannot write");
    };
    refused(path("missing/out.wav"));
    refused(song_ + "/out.wav"); // beneath a file
    if (geteuid() != 0) {
        const std::string locked = path("locked");
        fs::create_directory(locked);
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        refused(locked + "/out.wav");
        fs::permissions(locked, fs::perms::owner_all);
        fs::remove(locked);
    }
}

TEST_F(RenderCli, WritesThroughLinksAndIntoDevicesFifosAndPipesWithoutReplacingThem) {
    const std::vector<std::string> render = {"--plugin", kProbe, "-q", "--tail", "0"};
    auto renderTo = [&](const std::string& output) {
        std::vector<std::string> arguments = render;
        arguments.insert(arguments.end(), {"-o", output, song_});
        return renderCommand(arguments);
    };
    ASSERT_EQ(run({"--plugin", kProbe, "-q", "--tail", "0", "-o", path("plain.wav"), song_}).status,
              0);
    const Wav plain = readWav(path("plain.wav"));
    ASSERT_EQ(plain.frames(), 44101);

    // A link is followed: the file it names gets the audio, the link stays.
    fs::create_symlink("plain.wav", path("link.wav"));
    fs::create_symlink("absent/../new.wav", path("dangling.wav"));
    fs::create_directory(path("absent"));
    for (const char* link : {"link.wav", "dangling.wav"}) {
        ASSERT_EQ(runShell(renderTo(path(link))).status, 0) << link;
        EXPECT_TRUE(fs::is_symlink(path(link))) << link;
    }
    EXPECT_EQ(readWav(path("plain.wav")).samples, plain.samples);
    EXPECT_EQ(readWav(path("new.wav")).samples, plain.samples);

    // A FIFO is written straight; the reader gets a WAV with the streaming sizes.
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    RunResult result = runShell("cat fifo > from-fifo.wav & " + renderTo("fifo") + "; wait");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(fs::status(path("fifo")).type(), fs::file_type::fifo);
    EXPECT_EQ(readWav(path("from-fifo.wav")).samples, plain.samples);
    const std::string streamed = slurp(path("from-fifo.wav"));
    EXPECT_EQ(streamed.substr(streamed.find("data") + 4, 4), "\x00\xF0\xFF\x7F"s);

    // Standard output: piped, or redirected to a file, which gets the real sizes.
    result = runShell(renderTo("-") + " | cat > piped.wav");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(slurp(path("piped.wav")), streamed);
    ASSERT_EQ(runShell(renderTo("-") + " > redirected.wav").status, 0);
    EXPECT_EQ(slurp(path("redirected.wav")), slurp(path("plain.wav")));

    // A device node stays a device node, even for root.
    if (geteuid() == 0) {
        ASSERT_EQ(mknod(path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        result = runShell(renderTo(path("null")));
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(fs::status(path("null")).type(), fs::file_type::character);
    }
    fs::remove(path("null"));
    fs::remove(path("fifo"));
}

TEST_F(RenderCli, AFileSizeLimitFailsTheRenderAndLeavesNoTemporaryFile) {
    const RunResult result = runShell(
        "ulimit -f 64; " + renderCommand({"--plugin", kProbe, "-o", path("big.wav"), song_}));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "quillo-render: " + path("big.wav") + ": cannot write: File too large\n");
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

TEST_F(RenderCli, EndsAfterTheLastEventOrAtTheLengthAndSaysWhenTheTailCutsSound) {
    // The last note-off at 1 s, End of Track a minute later: the render ends with
    // the quarter second of silence after the note.
    const std::string late = path("late.mid");
    save(late, file(0, 480,
                    {track({tempo(0, 500000), {480, {0x90, 60, 100}}, {480, {0x80, 60, 0}}},
                           480 * 120)}));
    RunResult result = run({"--plugin", kProbe, "-q", "-o", path("late.wav"), late});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readWav(path("late.wav")).frames(), 44100 + 11025);

    // --length: exactly so long; events from there on are not sent.
    result = run({"--plugin", kProbe, "-q", "--length", "0.5", "-o", path("short.wav"), song_});
    ASSERT_EQ(result.status, 0) << result.err;
    const Wav cut = readWav(path("short.wav"));
    EXPECT_EQ(cut.frames(), 22050);
    EXPECT_EQ(peakOf(cut), 0.0f);
    result = run({"--plugin", kProbe, "-q", "--length", "3", "-o", path("long.wav"), song_});
    EXPECT_EQ(readWav(path("long.wav")).frames(), 3 * 44100);

    // A ring of 10 s cut by a 1 s tail.
    result = run({"--plugin", kProbe, "-q", "--param", "Ring=1", "--tail", "1", "-o",
                  path("ring.wav"), song_});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readWav(path("ring.wav")).frames(), 2 * 44100);
    EXPECT_EQ(result.err, "quillo-render: warning: " + path("ring.wav") +
                              ": still sounding when the 1 s tail ran out (a longer --tail lets "
                              "it end)\n");
}

TEST_F(RenderCli, SendsOnlyTheChosenChannelsAndTracks) {
    // Track 1 plays channel 1 from 0.5 s; track 2 channel 2 from 1 s; track 3 channel 3
    // from 1.5 s, each note half a second long.
    const std::string hands = path("hands.mid");
    save(hands, file(1, 480,
                     {track({{480, {0x90, 60, 100}}, {480, {0x80, 60, 0}}}),
                      track({{960, {0x91, 48, 100}}, {480, {0x81, 48, 0}}}),
                      track({{1440, {0x92, 36, 100}}, {480, {0x82, 36, 0}}})}));
    auto firstSound = [&](std::vector<std::string> choice) {
        choice.insert(choice.begin(),
                      {"--plugin", kProbe, "-q", "--tail", "0", "-o", path("hands.wav")});
        choice.push_back(hands);
        const RunResult result = run(choice);
        EXPECT_EQ(result.status, 0) << result.err;
        const Wav wav = readWav(path("hands.wav"));
        for (int64_t frame = 0; frame < wav.frames(); ++frame)
            if (wav.at(frame) != 0.0f) return frame;
        return int64_t{-1};
    };
    EXPECT_EQ(firstSound({}), 22050);
    EXPECT_EQ(firstSound({"--channel", "2"}), 44100);
    EXPECT_EQ(firstSound({"--channel", "3", "--channel", "2"}), 44100);
    EXPECT_EQ(firstSound({"--track", "3"}), 66150);
    EXPECT_EQ(firstSound({"--track", "2-3", "--channel", "1,3"}), 66150);
    fs::remove(path("hands.wav"));

    const std::vector<std::string> probe = {"--plugin", kProbe, "-o", path("out.wav")};
    auto refused = [&](std::vector<std::string> options, const std::string& problem) {
        options.insert(options.begin(), probe.begin(), probe.end());
        options.push_back(hands);
        expectRefused(options, problem);
    };
    refused({"--track", "4"}, hands + ": --track 4: the file has 3 tracks");
    refused({"--channel", "17"}, "--channel: '17' is not a list of numbers from 1 to 16");
    refused({"--channel", "0"}, "--channel: '0'");
    refused({"--track", "2-1"}, "--track: '2-1'");
}

TEST_F(RenderCli, SetsTheLevelByGainOrNormalizationAndCountsClippedSamples) {
    auto render = [&](std::vector<std::string> options) {
        options.insert(options.begin(), {"--plugin", kProbe, "--tail", "0", "-o", path("l.wav")});
        options.push_back(song_);
        return run(options);
    };
    // The probe plays at 0.5, -6.0 dBFS.
    RunResult result = render({"--gain", "-6.0206"});
    EXPECT_NEAR(peakOf(readWav(path("l.wav"))), 0.25f, 1e-6f);
    EXPECT_NE(result.out.find("peak -12.0 dBFS after -6.0 dB"), std::string::npos) << result.out;

    result = render({"--normalize=-1"});
    EXPECT_NEAR(peakOf(readWav(path("l.wav"))), std::pow(10.0f, -1 / 20.0f), 1e-6f);
    EXPECT_NE(result.out.find("peak -1.0 dBFS after +5.0 dB"), std::string::npos) << result.out;

    result = render({"--gain", "12", "--format", "s16"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(peakOf(readWav(path("l.wav"))), 1.0f);
    EXPECT_NE(result.out.find("peak 0.0 dBFS after +12.0 dB"), std::string::npos) << result.out;
    // Half a second, 22050 frames of two channels, beyond full scale.
    EXPECT_EQ(result.err, "quillo-render: warning: " + path("l.wav") +
                              ": 44100 samples clipped (the render peaks at 6.0 dBFS); lower "
                              "--gain or use --normalize\n");
    EXPECT_EQ(render({"--gain", "12"}).err, ""); // floats hold it

    // Quillo's noise differs from thread to thread unless each render starts
    // afresh: the second pass must meet the level the first one measured.
    result = run({"--plugin", kQuillo, "--param", "Wave1=Noise", "--param", "OscMix=0",
                  "--normalize", "-o", path("noise.wav"), song_});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NEAR(peakOf(readWav(path("noise.wav"))), 1.0f, 1e-6f);
    fs::remove(path("l.wav"));
    fs::remove(path("noise.wav"));

    expectRefused({"--plugin", kProbe, "--gain", "3", "--normalize", song_},
                  "give --gain or --normalize, not both");
    expectRefused({"--plugin", kProbe, "--normalize=3", song_}, "--normalize: '3'");
}

TEST_F(RenderCli, WritesEveryFormatByNameOrExtensionTheSameEachTimeAndSoxReadsThem) {
    struct Case {
        std::vector<std::string> options;
        std::string file;
        int format; // libsndfile's major format | subtype
    };
    const std::vector<Case> cases = {
        {{}, "f32.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        {{"--format", "s16"}, "s16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        {{"--format", "wav,s24"}, "s24.out", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        {{}, "a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
        {{"--format", "flac,s16"}, "b.x", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {{}, "a.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
        {{}, "a.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
        {{"--format", "aiff,f32"}, "f.aif", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
        {{"--mono"}, "mono.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
    };
    const bool haveSox = std::system("command -v sox >/dev/null") == 0;
    std::vector<std::string> firstRound;
    const int64_t frames = [&] {
        EXPECT_EQ(run({"--plugin", kQuillo, "-q", "-o", path("f32.wav"), song_}).status, 0);
        return readWav(path("f32.wav")).frames();
    }();
    for (int round = 0; round < 2; ++round) {
        if (round == 1) sleep(1); // a time stamp in a file would change by now
        for (size_t i = 0; i < cases.size(); ++i) {
            const Case& c = cases[i];
            std::vector<std::string> arguments = {"--plugin", kQuillo, "-q", "-o", path(c.file)};
            arguments.insert(arguments.end(), c.options.begin(), c.options.end());
            arguments.push_back(song_);
            const RunResult result = run(arguments);
            ASSERT_EQ(result.status, 0) << c.file << ": " << result.err;
            const std::string bytes = slurp(path(c.file));
            if (round == 0) {
                firstRound.push_back(bytes);
                SF_INFO info{};
                SNDFILE* sound = sf_open(path(c.file).c_str(), SFM_READ, &info);
                ASSERT_NE(sound, nullptr) << c.file;
                sf_close(sound);
                EXPECT_EQ(info.format & (SF_FORMAT_TYPEMASK | SF_FORMAT_SUBMASK), c.format)
                    << c.file;
                EXPECT_EQ(info.channels, c.file == "mono.wav" ? 1 : 2) << c.file;
                if (c.file != "a.ogg") {
                    EXPECT_EQ(info.frames, frames) << c.file;
                }
                if (haveSox) {
                    const RunResult sox = runShell("sox -V2 " + shellWord(path(c.file)) +
                                                   " -n stat 2>&1 | grep -i warn");
                    EXPECT_EQ(sox.out, "") << c.file;
                }
            } else {
                EXPECT_TRUE(bytes == firstRound[i]) << c.file << " differs from the first render";
            }
        }
    }
    // Raw samples: little-endian floats, two channels, nothing else.
    ASSERT_EQ(run({"--plugin", kQuillo, "-q", "-o", path("a.raw"), song_}).status, 0);
    EXPECT_EQ(fs::file_size(path("a.raw")), static_cast<uintmax_t>(frames) * 8);
    clearOutputs();
    expectRefused({"--plugin", kQuillo, "--format", "flac,f32", song_},
                  "--format: flac holds no f32 samples");
    expectRefused({"--plugin", kQuillo, "--format", "mp3", song_}, "--format: 'mp3'");
    for (const char* name : {"a.flac", "a.aiff", "f.aif", "b.x", "a.raw", "s24.out", "a.ogg"})
        fs::remove(path(name));

    // Formats that go back to their header still stream through a pipe.
    const RunResult piped =
        runShell(renderCommand({"--plugin", kQuillo, "-q", "--format", "flac", "-o", "-", song_}) +
                 " | cat > piped.flac");
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(readWav(path("piped.flac")).frames(), frames);
    fs::remove(path("piped.flac"));
}

TEST_F(RenderCli, ReadsStandardInputAndSeveralFilesAndReportsOnThem) {
    RunResult result = run({"--version"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.rfind("quillo-render ", 0), 0u);

    result = runShell("cat " + shellWord(song_) + " | " +
                      renderCommand({"--plugin", kProbe, "-q", "-o", path("in.wav"), "-"}));
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readWav(path("in.wav")).frames(), 44100 + 11025);
    clearOutputs();
    expectRefused({"--plugin", kProbe, "-"}, "a MIDI file from standard input needs -o FILE");

    // Several files, one output each in the directory; a broken one does not stop the rest.
    // (The probe keeps one log for all its instances: one job at a time.)
    save(path("second.mid"), Bytes(kSecond.begin(), kSecond.end()));
    std::ofstream(path("broken.mid")) << "not midi";
    result = run({"--plugin", kProbe, "--jobs", "1", "-v", "--output-dir", path("out"), "--format",
                  "flac", song_, path("broken.mid"), path("second.mid")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(readWav(path("out/song.flac")).frames(), 44100 + 11025);
    EXPECT_EQ(readWav(path("out/second.flac")).frames(), 22050 + 11025);
    EXPECT_FALSE(fs::exists(path("out/broken.flac")));
    EXPECT_EQ(lineCount(result.out), 3u) << result.out; // a line each, and how it all went
    EXPECT_NE(result.out.find("3 jobs in "), std::string::npos) << result.out;
    for (const std::string& expected : std::vector<std::string>{
             path("broken.mid") + ": not a Standard MIDI File", song_ + ": type 0, 1 track",
             "1 of 3 jobs failed: " + path("broken.mid"), "  track 1: 2 events on channel 1",
             "  1 tempo event: 120 bpm",
             "  2 of 2 channel events chosen; the last at 1.00 s, the tracks end at 1.50 s",
             "  2 events sent; the render ended at 1.25 s: the tail fell silent"}) {
        EXPECT_NE(result.err.find(expected), std::string::npos) << expected << "\n" << result.err;
    }
    fs::remove_all(path("out"));
    expectRefused({"--plugin", kProbe, "-o", path("x.wav"), song_, song_},
                  "-o names one output; for several MIDI files use --output-dir");
    expectRefused({"--plugin", kProbe, song_, song_}, "is also another MIDI file's");
    EXPECT_EQ(run({"--bogus"}).status, 2);
    EXPECT_EQ(run({"--plugin", kProbe, path("missing.mid")}).status, 1);
}

TEST_F(RenderCli, SetsParametersByTheirTextsAndListsPrograms) {
    auto render = [&](const std::string& setting, const std::string& name) {
        const RunResult result =
            run({"--plugin", kQuillo, "--tail", "0", "--param", setting, "-o", path(name), song_});
        EXPECT_EQ(result.status, 0) << result.err;
        return readWav(path(name)).samples;
    };
    EXPECT_EQ(render("Wave1=pulse", "a.wav"), render("Wave1=0.3", "b.wav"));
    EXPECT_EQ(render("Filter=Hi-pass", "c.wav"), render("Filter=0.75", "d.wav"));
    clearOutputs();
    // A value among many that show the text.
    const RunResult listed = run({"--plugin", kQuillo, "--list-params", "--param", "Cutoff=50"});
    EXPECT_NE(listed.out.find("Cutoff     0.505000  50\n"), std::string::npos) << listed.out;
    expectRefused({"--plugin", kQuillo, "--param", "Wave1=Square", song_},
                  "--param Wave1=Square: 'Wave1' never shows 'Square' (its texts are Saw, Pulse, "
                  "Tri, Sine, Noise)");

    const RunResult result = run({"--plugin", kQuillo, "--list-programs"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(lineCount(result.out), 33u) << result.out;
    EXPECT_EQ(result.out.rfind("Program  Name\n", 0), 0u) << result.out;
}

// A preset by name, from a bank, through LV2 and saved to a file after --param: the
// same sound whichever way it comes; files of another plug-in or format refused.
TEST_F(RenderCli, PresetsByNameBankOrSavedFileSetTheSameSound) {
    auto render = [&](std::vector<std::string> options, const std::string& name) {
        options.insert(options.end(), {"--tail", "0", "-o", path(name), song_});
        const RunResult result = run(options);
        EXPECT_EQ(result.status, 0) << result.err;
        return readWav(path(name)).samples;
    };
    const auto acid = render({"--plugin", kQuillo, "--preset", "ACID squelch"}, "a.wav");
    EXPECT_NE(acid, render({"--plugin", kQuillo}, "plain.wav"));
    const std::string bank = std::string(QUILLO_PRESET_DIR) + "/quillo-factory.fxb";
    EXPECT_EQ(render({"--plugin", kQuillo, "--bank", bank, "--program", "1"}, "b.wav"), acid);
    EXPECT_EQ(render({"--plugin", kQuilloLv2, "--preset", "Acid Squelch"}, "l.wav"), acid);

    const RunResult saved = run({"--plugin", kQuillo, "--preset", "Acid Squelch", "--param",
                                 "Cutoff=0.3", "--save-preset", path("mine.fxp")});
    ASSERT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.out, "");
    EXPECT_EQ(render({"--plugin", kQuillo, "--preset", path("mine.fxp")}, "m.wav"),
              render({"--plugin", kQuillo, "--preset", "Acid Squelch", "--param", "Cutoff=0.3"},
                     "p.wav"));
    clearOutputs();
    expectRefused({"--plugin", kQuilloLv2, "--preset", path("mine.fxp"), song_},
                  "program files hold VST 2 parameters; the plug-in is LV2");
    expectRefused({"--plugin", kQuillo, "--preset", "Nothing Like It", song_},
                  "--preset Nothing Like It: no factory preset has this name");
    if (!fs::exists(kNekobi)) GTEST_SKIP() << kNekobi << " is not installed";
    expectRefused({"--plugin", kNekobi, "--bank", bank, song_},
                  "made for the plug-in with identifier 'qlo1'");
}

// Noise draws from a generator per thread: files rendered side by side, each through its
// own instance, are still the very files each gives alone.
TEST_F(RenderCli, FilesRenderedSideBySideEqualEachRenderedAlone) {
    const std::vector<std::string> noisy = {"--plugin", kQuillo,        "--param", "Wave1=Noise",
                                            "--param",  "LFO1 Typ=S&H", "--param", "LFO1 Dep=0.5"};
    save(path("second.mid"), Bytes(kSecond.begin(), kSecond.end()));
    const std::vector<std::string> inputs = {song_, path("second.mid"), PHRASE_MIDI};
    std::vector<std::string> together = noisy;
    together.insert(together.end(), {"--jobs", "3", "--output-dir", path("together")});
    together.insert(together.end(), inputs.begin(), inputs.end());
    const RunResult result = run(together);
    ASSERT_EQ(result.status, 0) << result.err;
    for (const std::string& input : inputs) {
        std::vector<std::string> alone = noisy;
        alone.insert(alone.end(), {"-o", path("alone.wav"), input});
        ASSERT_EQ(run(alone).status, 0);
        const std::string name = fs::path(input).stem().string() + ".wav";
        EXPECT_EQ(slurp(path("together/" + name)), slurp(path("alone.wav"))) << name;
    }
    // A lone render writes on a second thread, straight from where the plug-in rendered;
    // a mono plug-in's one output still fills both channels.
    const std::string mono = std::string(PROBE_DIR) + "/probe_mono.so";
    ASSERT_EQ(run({"--plugin", mono, "-o", path("aside.wav"), song_}).status, 0);
    ASSERT_EQ(run({"--plugin", mono, "--jobs", "1", "-o", path("inline.wav"), song_}).status, 0);
    EXPECT_EQ(slurp(path("aside.wav")), slurp(path("inline.wav")));
    const Wav wav = readWav(path("aside.wav"));
    EXPECT_GT(peakOf(wav), 0.1f);
    EXPECT_EQ(wav.at(30000, 0), wav.at(30000, 1));
}

// Each line of a job list renders the file its options give alone; a job that fails
// is named by its line and stops no other.
TEST_F(RenderCli, BatchJobsRenderWhatEachLineGivesAlone) {
    save(path("second.mid"), Bytes(kSecond.begin(), kSecond.end()));
    std::ofstream(path("jobs.csv")) << "midi,output,preset,param:Cutoff,rate,format,mono\n"
                                    << song_ << ",a.wav,Acid Squelch,0.3,48000,,\n"
                                    << "\"second.mid\", \"b, c.flac\",,,,flac,yes\n"
                                    << "missing.mid,d.wav,,,,,\n";
    std::ofstream(path("jobs.jsonl"))
        << "{\"midi\": \"second.mid\", \"output\": \"e.wav\", \"params\": {\"Wave1\": "
           "\"Noise\", \"Reso\": 0.5}, \"program\": 3}\n";
    RunResult result =
        run({"--plugin", kQuillo, "--jobs", "2", "--batch", "jobs.csv", "--output-dir", "out"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("quillo-render: jobs.csv:4: missing.mid: "), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("1 of 3 jobs failed: jobs.csv:4"), std::string::npos) << result.err;
    result = run({"--plugin", kQuillo, "--batch", "jobs.jsonl"});
    EXPECT_EQ(result.status, 0) << result.err;

    const std::vector<std::pair<std::string, std::vector<std::string>>> alone = {
        {"a.wav", {"--preset", "Acid Squelch", "--param", "Cutoff=0.3", "--rate", "48000", song_}},
        {"b, c.flac", {"--format", "flac", "--mono", "second.mid"}},
        {"e.wav",
         {"--program", "3", "--param", "Wave1=Noise", "--param", "Reso=0.5", "second.mid"}},
    };
    for (const auto& [output, options] : alone) {
        std::vector<std::string> arguments = {"--plugin", kQuillo, "-o", "alone"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        ASSERT_EQ(run(arguments).status, 0) << output;
        EXPECT_EQ(slurp(path(output == "e.wav" ? output : "out/" + output)), slurp(path("alone")))
            << output;
    }
}

TEST_F(RenderCli, BatchFilesWithBadLinesAreRefusedNamingTheLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"midi,rat\nsong.mid,3\n", "jobs.csv:1: unknown column 'rat'"},
        {"midi,rate\nsong.mid,44100\n\nsong.mid,x\n", "jobs.csv:4: --rate: 'x' is not"},
        {"midi,output\nsong.mid,a.wav\nsong.mid\n", "jobs.csv:3: 1 cells; the header names 2"},
        {"midi,output\nsong.mid,a.wav\nsong.mid,a.wav\n",
         "jobs.csv:3: its output a.wav is also that of jobs.csv:2"},
        {"midi,output\n\"song.mid,a.wav\n", "jobs.csv:2: a quoted cell has no closing quote"},
        {"output\na.wav\n", "jobs.csv:2: no MIDI file"},
    };
    for (const auto& [text, problem] : cases) {
        std::ofstream(path("jobs.csv")) << text;
        expectRefused({"--plugin", kQuillo, "--batch", "jobs.csv"}, problem);
    }
    std::ofstream(path("jobs.jsonl")) << "{\"midi\": \"song.mid\"}\n{\"midi\": \"song.mid\" 3}\n";
    expectRefused({"--plugin", kQuillo, "--batch", "jobs.jsonl"},
                  "jobs.jsonl:2: column 21: expected ',' or '}'");
    expectRefused({"--plugin", kQuillo, "--batch", "jobs.jsonl", "song.mid"},
                  "--batch names the MIDI files; give none on the command line");
    expectRefused({"--batch", "none.csv"}, "none.csv: cannot read: No such file or directory");
}

namespace {

// A parameter's value as a sidecar writes it.
std::string sidecarValue(const std::string& sidecar, const std::string& name) {
    const std::string key = "\"name\": \"" + name + "\", \"value\": ";
    const size_t at = sidecar.find(key);
    if (at == std::string::npos) return "";
    const size_t start = at + key.size();
    return sidecar.substr(start, sidecar.find(',', start) - start);
}

} // namespace

// Draws that do not change between machines or versions, and sidecars that render the
// same bytes again.
TEST_F(RenderCli, RandomPatchesAreReproducibleAndTheirSidecarsRenderThemAgain) {
    auto render = [&](std::vector<std::string> options, const std::string& name) {
        options.insert(options.end(), {"--plugin", kQuillo, "--format", "flac", "-o", name});
        const RunResult result = run(options);
        EXPECT_EQ(result.status, 0) << result.err;
        return slurp(path(name));
    };
    const std::string drawn = render({"--random-params", "42", song_}, "a.flac");
    const std::string sidecar = slurp(path("a.flac.json"));
    EXPECT_EQ(sidecarValue(sidecar, "Wave1"), "0.74156487"); // the generator, pinned
    EXPECT_NE(sidecar.find("\"text\": \"Sine\""), std::string::npos);
    EXPECT_EQ(sidecarValue(sidecar, "Volume"), "0.8"); // not drawn by default
    EXPECT_NE(sidecar.find("\"midi\": \"song.mid\""), std::string::npos) << sidecar;
    EXPECT_EQ(render({"--random-params", "42", song_}, "b.flac"), drawn);
    EXPECT_NE(render({"--random-params", "43", song_}, "c.flac"), drawn);

    // A parameter draws the same value whichever others vary.
    render({"--random-params", "42", "--vary", "Cutoff,reso", song_}, "d.flac");
    const std::string some = slurp(path("d.flac.json"));
    EXPECT_EQ(sidecarValue(some, "Cutoff"), sidecarValue(sidecar, "Cutoff"));
    EXPECT_EQ(sidecarValue(some, "Wave1"), "0");

    EXPECT_EQ(render({"--from-sidecar", path("a.flac.json")}, "again.flac"), drawn);
    // Moved with its MIDI file, it still renders; options given change it.
    fs::create_directory(path("moved"));
    fs::rename(path("a.flac.json"), path("moved/a.flac.json"));
    fs::copy_file(song_, path("moved/song.mid"));
    EXPECT_EQ(render({"--from-sidecar", path("moved/a.flac.json")}, "moved.flac"), drawn);
    EXPECT_NE(render({"--from-sidecar", path("moved/a.flac.json"), "--param", "Cutoff=0.1"},
                     "changed.flac"),
              drawn);
    expectRefused({"--vary", "Cutoff", song_}, "--vary names what --random-params draws");
}

// A dataset: every file as long as its notes, a sidecar each, and manifests whose
// seeds render each file again alone.
TEST_F(RenderCli, DatasetsMapEveryFileToTheSeedAndParametersThatRenderIt) {
    const RunResult result = run({"--plugin", kQuillo, "--dataset", "set", "--count", "3",
                                  "--random-params", "9", "--notes", "60", "--jobs", "2"});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string csv = slurp(path("set/manifest.csv"));
    EXPECT_EQ(lineCount(csv), 4u) << csv;
    EXPECT_EQ(csv.rfind("file,seed,notes,peak_dbfs,Wave1,", 0), 0u) << csv;
    EXPECT_EQ(lineCount(slurp(path("set/manifest.jsonl"))), 3u);
    std::istringstream rows(csv);
    std::string row;
    std::getline(rows, row); // the header
    for (const char* file : {"0000.wav", "0001.wav", "0002.wav"}) {
        ASSERT_TRUE(std::getline(rows, row));
        EXPECT_EQ(row.rfind(std::string(file) + ",", 0), 0u) << row;
        const std::string seed = row.substr(9, row.find(',', 9) - 9);
        EXPECT_NE(slurp(path(std::string("set/") + file + ".json")).find("\"seed\": " + seed),
                  std::string::npos);
        EXPECT_EQ(readWav(path(std::string("set/") + file)).frames(), 2 * 44100);
        ASSERT_EQ(
            run({"--plugin", kQuillo, "--random-params", seed, "--notes", "60", "-o", "alone.wav"})
                .status,
            0);
        EXPECT_EQ(slurp(path(std::string("set/") + file)), slurp(path("alone.wav"))) << file;
    }
}
