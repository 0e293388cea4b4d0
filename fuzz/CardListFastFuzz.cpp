// Bytes as a whole cardlist.dat, read by the fast path and by the general parser: the fast path
// either declines or gives exactly the parser's cards.
#include "FuzzScratch.h"
#include "cardlist/CardList.h"
#include "cardlist/CardListFastReader.h"
#include "files/VastrelleError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FuzzScratch scratch;
    std::string_view text = AsText(data, size);
    TCardInfos fast;
    if (!ReadCardListFast(text, fast)) {
        FUZZ_CHECK(fast.empty());
        return 0;
    }
    const std::filesystem::path file = scratch.Path() / kCardListFileName;
    WriteFuzzFile(file, text);
    TCardInfos parsed;
    ReadCardListByParser(file, parsed);  // a failure here is a finding: the fast path accepted it
    FUZZ_CHECK(fast == parsed);
    return 0;
}
