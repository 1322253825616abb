// The door lets one thread in at a time, whether it comes in through the lock or through the
// leaning door, and however the door passes between threads: a solo thread that the door leans
// to, threads taking turns in bursts (the leaning stopped and earned again), a thread that holds
// it long while others sleep, threads that end while the door leans to them. The count below is
// plain on purpose: a second thread inside shows as a wrong total, or under ThreadSanitizer as a
// race.
#include "platform/com.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

struct Room {
    int inside = 0;
    int mostInside = 0;
    long visits = 0;
};

// One call from outside, which re-enters once, as a late-bound call does.
void Visit(Room& room, std::chrono::microseconds stay) {
    const InsideDoor door;
    const int now = ++room.inside;
    room.mostInside = std::max(room.mostInside, now);
    {
        const InsideDoor again;
        ++room.visits;
    }
    if (stay.count() > 0) {
        std::this_thread::sleep_for(stay);
    }
    --room.inside;
}

TEST(Door, OneThreadInsideHoweverTheDoorPassesBetweenThem) {
    Room room;
    long expected = 0;
    // Alone: the door comes to lean to this thread.
    for (int i = 0; i < 20000; ++i) {
        Visit(room, {});
    }
    expected += 20000;

    // Threads in bursts with pauses between, so that the door leans to one of them and another
    // stops the leaning, again and again; one call in 50 stays long enough for the others to
    // sleep. Then threads that each come alone and end while the door leans to them.
    constexpr int kThreads = 4;
    constexpr int kBursts = 60;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&room, t] {
            for (int burst = 0; burst < kBursts; ++burst) {
                for (int call = 0; call < (burst * 37 + t * 11) % 400 + 1; ++call) {
                    Visit(room, std::chrono::microseconds(call % 50 == 49 ? 300 : 0));
                }
                std::this_thread::sleep_for(std::chrono::microseconds(100 * (t + 1)));
            }
        });
        for (int burst = 0; burst < kBursts; ++burst) {
            expected += (burst * 37 + t * 11) % 400 + 1;
        }
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < 8; ++t) {
        std::thread([&room] {
            for (int i = 0; i < 1000; ++i) {
                Visit(room, {});
            }
        }).join();
        expected += 1000;
    }
    Visit(room, {});
    expected += 1;

    const InsideDoor door;
    EXPECT_EQ(room.visits, expected);
    EXPECT_EQ(room.mostInside, 1);
    EXPECT_EQ(room.inside, 0);
}

} // namespace
