// Creating and closing instances: one after another, and many alive at once.

#include "validate/check.h"
#include "validate/session.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace quillo::validate {
namespace {

ScriptEvent noteOnAt(int32_t frame, uint8_t key) {
    return midiEvent(frame, 0x90, key, 100);
}

// Hosts create instances to scan them, to show them and to play them; each of
// those lifecycles must leave the next instance unharmed.
std::string openAndClose100Times(const Context& context) {
    for (int i = 0; i < 100; ++i) {
        auto plugin = context.create();
        expect(plugin->effect()->magic == kEffectMagic,
               "instance " + std::to_string(i) + " has no VST magic");
        switch (i % 3) {
        case 0: break; // created and closed straight away, as by a scanning host
        case 1: plugin->open(); break;
        case 2: {
            plugin->open();
            plugin->setSampleRate(44100.0);
            plugin->setBlockSize(256);
            plugin->resume();
            break;
        }
        }
        plugin->close();
    }
    // The instance after all that still plays.
    Session session(context, 44100.0, 256);
    session.render(256, {noteOnAt(0, 60)});
    session.renderFor(4410, 256);
    return "created and closed 100 instances";
}

// One thread per instance renders block after block; meanwhile the main thread
// stops and closes the instances one by one, in shuffled order.
std::string sixteenInstancesClosedInShuffledOrder(const Context& context) {
    constexpr int kInstances = 16;
    constexpr int32_t kBlock = 128;
    std::vector<std::unique_ptr<Session>> sessions;
    for (int i = 0; i < kInstances; ++i) {
        sessions.push_back(std::make_unique<Session>(context, 44100.0, kBlock));
        sessions.back()->render(kBlock, {noteOnAt(0, static_cast<uint8_t>(48 + i))});
    }

    std::vector<std::atomic<bool>> stop(kInstances);
    std::vector<std::atomic<uint64_t>> blocks(kInstances);
    std::vector<std::string> errors(kInstances);
    std::vector<std::thread> threads;
    for (int i = 0; i < kInstances; ++i) {
        stop[i] = false;
        blocks[i] = 0;
        threads.emplace_back([&, i] {
            try {
                while (!stop[i]) {
                    sessions[i]->render(kBlock);
                    ++blocks[i];
                }
            } catch (const std::exception& error) {
                errors[i] = error.what();
            }
        });
    }

    std::vector<int> order(kInstances);
    for (int i = 0; i < kInstances; ++i)
        order[i] = i;
    std::mt19937_64 rng(context.seed());
    std::shuffle(order.begin(), order.end(), rng);

    // Before each close every instance still open renders a few more blocks, so
    // each close happens while the others are busy.
    std::vector<bool> open(kInstances, true);
    for (int victim : order) {
        std::vector<uint64_t> before(kInstances);
        for (int i = 0; i < kInstances; ++i)
            before[i] = blocks[i];
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (;;) {
            bool advanced = true;
            for (int i = 0; i < kInstances; ++i)
                if (open[i] && errors[i].empty() && blocks[i] < before[i] + 3) advanced = false;
            if (advanced || std::chrono::steady_clock::now() > deadline) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        stop[victim] = true;
        threads[victim].join();
        sessions[victim]->close();
        open[victim] = false;
    }

    uint64_t total = 0;
    for (int i = 0; i < kInstances; ++i) {
        expect(errors[i].empty(), "instance " + std::to_string(i) + ": " + errors[i]);
        total += blocks[i];
    }
    return std::to_string(total) + " blocks rendered across 16 instances";
}

} // namespace

void addLifecycleChecks(std::vector<Check>& checks) {
    checks.push_back({"open and close 100 times", openAndClose100Times});
    checks.push_back({"16 instances at once, closed in shuffled order while the others render",
                      sixteenInstancesClosedInShuffledOrder});
}

} // namespace quillo::validate
