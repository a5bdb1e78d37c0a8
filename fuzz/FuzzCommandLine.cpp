// Fuzz target: the tavelin command line's words (NUL separates arguments), and the script commands' own parsers.
#include "core/CommandSet.h"
#include "shared/cli/CommandLine.h"

#include "Check.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> arguments(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            arguments.emplace_back();
        else
            arguments.back().push_back(char(data[i]));
    }
    auto parsed = tavelin::shared::cli::parseCommandLine(arguments);
    // Refusals are one line a user reads.
    if (auto* error = std::get_if<tavelin::shared::cli::UsageError>(&parsed))
        FUZZ_CHECK(!error->message.empty() && error->message.find('\n') == std::string::npos);
    for (auto& word : arguments) {
        tavelin::core::parseSwitch(word);
        tavelin::core::gridColorNamed(word);
        auto id = tavelin::core::parseWindowId(word);
        FUZZ_CHECK(!id || *id != 0); // window 0 is no window
    }
    return 0;
}
