#ifndef PIXSTREAM_FUZZ_REPLAY_H
#define PIXSTREAM_FUZZ_REPLAY_H

// What a fuzz target may add to the corpus replay (replay_main.cpp) after
// its inputs have run. A target whose inputs choose what they exercise
// defines replayReport(): it prints what the corpus reached and returns
// false when that falls short, which fails the replay, since a corpus that
// reaches nothing would otherwise pass. Weak, so that the targets with
// nothing to add leave it undefined; libFuzzer never calls it.
bool replayReport() __attribute__((weak));

#endif
