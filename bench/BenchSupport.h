#pragma once

// What the whole-process and in-process benchmarks share: a clock, medians,
// the durable write that is the floor for every registry change, and the
// Markdown row each benchmark prints for scripts/bench to gather.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace pervo::bench {

inline double Now()
{
    timespec time{};
    clock_gettime(CLOCK_MONOTONIC, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
}

inline double Median(std::vector<double> samples)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    const std::size_t middle = samples.size() / 2;
    return samples.size() % 2 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2.0;
}

// A benchmark that cannot measure what it set out to measure stops at once
// and says why: a table with a made-up figure would be worse than none.
[[noreturn]] inline void Fail(const std::string& what)
{
    std::fprintf(stderr, "bench: %s\n", what.c_str());
    std::exit(1);
}

[[noreturn]] inline void FailErrno(const std::string& what)
{
    Fail(what + ": " + std::strerror(errno));
}

inline std::string Format(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof(text), format, value);
    return text;
}

// A duration in the unit that keeps three significant figures readable.
inline std::string Duration(double seconds)
{
    if (seconds >= 1.0)
        return Format("%.2f s", seconds);
    if (seconds >= 1e-3)
        return Format("%.2f ms", seconds * 1e3);
    if (seconds >= 1e-6)
        return Format("%.2f µs", seconds * 1e6);
    return Format("%.1f ns", seconds * 1e9);
}

inline std::string Ratio(double pervo, double floor)
{
    if (floor <= 0.0)
        return "–";
    return Format("%.2f×", pervo / floor);
}

// One row of the results table: what, Pervo's figure, the floor's, their
// ratio, and how it was measured.
inline void PrintRow(std::string_view what, std::string_view pervo, std::string_view floor, std::string_view ratio,
                     std::string_view how)
{
    std::printf("| %.*s | %.*s | %.*s | %.*s | %.*s |\n", static_cast<int>(what.size()), what.data(),
                static_cast<int>(pervo.size()), pervo.data(), static_cast<int>(floor.size()), floor.data(),
                static_cast<int>(ratio.size()), ratio.data(), static_cast<int>(how.size()), how.data());
    std::fflush(stdout);
}

inline void WriteAll(int fd, const std::string& text, const std::string& path)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            FailErrno("cannot write " + path);
        }
        done += static_cast<std::size_t>(written);
    }
}

// The least a durable, atomic replacement of a file can cost: write a
// temporary file, flush it, rename it over the old one, flush the folder.
// Any registry change that survives a crash does at least this much.
// Writers that share a folder each need their own temporary name.
inline void DurableAtomicWrite(const std::string& folder, const std::string& name, const std::string& text,
                               const std::string& temporarySuffix = ".tmp")
{
    const std::string path = folder + "/" + name;
    const std::string temporary = path + temporarySuffix;
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        FailErrno("cannot create " + temporary);
    WriteAll(fd, text, temporary);
    if (::fsync(fd) != 0)
        FailErrno("cannot flush " + temporary);
    ::close(fd);
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        FailErrno("cannot rename " + temporary);
    const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0)
        FailErrno("cannot open " + folder);
    if (::fsync(directory) != 0)
        FailErrno("cannot flush " + folder);
    ::close(directory);
}

inline std::string ReadFile(const std::string& path)
{
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        FailErrno("cannot open " + path);
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            FailErrno("cannot read " + path);
        if (got == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return text;
}

inline off_t FileSize(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        FailErrno("cannot stat " + path);
    return info.st_size;
}

// A fresh, empty folder for one benchmark's files, under `parent`.
inline std::string MakeWorkFolder(const std::string& parent, const std::string& name)
{
    std::string folder = parent + "/" + name + "." + std::to_string(::getpid());
    if (::mkdir(folder.c_str(), 0755) != 0)
        FailErrno("cannot create " + folder);
    return folder;
}

// The option `--name value` from argv, or fallback.
inline std::string Option(int argc, char** argv, std::string_view name, std::string fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (argv[i] == name)
            return argv[i + 1];
    }
    return fallback;
}

inline int IntOption(int argc, char** argv, std::string_view name, int fallback)
{
    const std::string text = Option(argc, argv, name, "");
    return text.empty() ? fallback : std::atoi(text.c_str());
}

}  // namespace pervo::bench
