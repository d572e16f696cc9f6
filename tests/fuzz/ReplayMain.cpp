// Runs a fuzz target over every file of its corpus, without libFuzzer, so
// that the normal build replays the corpora as ordinary tests: whatever the
// fuzzer once found stays found. A failed check aborts, and the test fails.
//
// Usage: fuzz_replay_NAME CORPUS_FOLDER_OR_FILE...

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int ReplayFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // A buffer of exactly the input's size, as libFuzzer passes it, so that
    // the sanitizers see any read past its end.
    const auto size = bytes.size();
    auto copy = std::make_unique<std::uint8_t[]>(size == 0 ? 1 : size);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    LLVMFuzzerTestOneInput(copy.get(), size);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path argument(argv[i]);
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(argument)) {
            for (const auto& entry : std::filesystem::directory_iterator(argument)) {
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            }
            std::sort(files.begin(), files.end());
        } else {
            files.push_back(argument);
        }
        for (const auto& file : files) {
            if (ReplayFile(file) != 0)
                return 1;
            ++replayed;
        }
    }
    // A corpus that went missing must not pass as a corpus that passed.
    if (replayed == 0) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    std::printf("replayed %zu inputs\n", replayed);
    return 0;
}
