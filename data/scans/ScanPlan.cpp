#include "scans/ScanPlan.h"

#include <algorithm>
#include <map>
#include <set>

#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "pictures/ImageNames.h"
#include "text/Cp932.h"
#include "text/NaturalOrder.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kBadExtension = "拡張子が .jpg / .jpeg ではありません";
constexpr const char* kNoCp932 = "名前の%sは Shift_JIS で保存できません";
constexpr const char* kNameTaken = "画像フォルダに同じ名前の画像があります";
constexpr const char* kNameOfOtherCard = "ほかのカードの画像と同じ名前です";
constexpr const char* kSameThumbnails = "同じ名前のサムネイルになる画像がほかにあります";
constexpr const char* kSideTwice = "同じカードの同じ面の画像がほかにあります";
constexpr const char* kNumberTwice = "この番号のカードが複数あります";

// The distinct characters of a UTF-8 name that CP932 lacks, each in 「」.
std::string CharactersWithoutCp932(std::string_view utf8) {
    std::set<std::string> seen;
    std::string listed;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        length = std::min(length, utf8.size() - i);
        const std::string character(utf8.substr(i, length));
        i += length;
        if (cp932::FromUtf8(character) || !seen.insert(character).second) continue;
        // A byte that is no UTF-8 at all is shown as the replacement character.
        const bool valid = lead >= 0x80 ? lead >= 0xC2 && character.size() > 1 : true;
        listed += "「" + (valid ? character : std::string("\uFFFD")) + "」";
    }
    return listed;
}

enum class TFound { Card, None, Several };

// The cards by number, exactly and with leading zeros removed.
class TNumberIndex {
public:
    explicit TNumberIndex(const TCardInfos& cards) {
        for (std::size_t i = 0; i < cards.size(); ++i) {
            m_exact[cards[i].Number].push_back(i);
            m_loose[WithoutLeadingZeros(cards[i].Number)].push_back(i);
        }
    }

    TFound Find(const std::string& number, std::size_t& index) const {
        for (const auto* map : {&m_exact, &m_loose}) {
            const std::string key = map == &m_exact ? number : WithoutLeadingZeros(number);
            auto it = map->find(key);
            if (it == map->end()) continue;
            if (it->second.size() > 1) return TFound::Several;
            index = it->second.front();
            return TFound::Card;
        }
        return TFound::None;
    }

private:
    std::map<std::string, std::vector<std::size_t>> m_exact, m_loose;
};

std::vector<fs::path> ListFiles(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) throw VastrelleError(FormatMessage(msg::kCannotOpen, folder.string()));
    for (const fs::directory_entry& entry : it) {
        const std::string name = entry.path().filename().native();
        // Hidden files are the file manager's and sync tools', never scans.
        if (name.starts_with(".") || !entry.is_regular_file(ec)) continue;
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        const int order = NaturalCompare(a.filename().native(), b.filename().native());
        return order != 0 ? order < 0 : a < b;
    });
    return files;
}

class TPlanner {
public:
    TPlanner(const TCardInfos& cards, const fs::path& imageFolder, TScanOptions options)
        : m_cards(cards), m_imageFolder(imageFolder), m_index(cards) {
        m_plan.Options = options;
        for (const TCardInfo& card : cards)
            for (const std::string* name : {&card.FrontImageFileName, &card.BackImageFileName})
                if (!name->empty()) m_cardPictures.insert(AsciiUpper(*name));
    }

    void Add(const fs::path& path) {
        const std::string utf8 = path.filename().string();
        const std::optional<std::string> name = cp932::FromUtf8(utf8);
        if (!name) return Refuse(path, FormatMessage(kNoCp932, CharactersWithoutCp932(utf8)));
        if (!HasAcceptedExtension(*name)) return Refuse(path, kBadExtension);
        const std::string stem = ScanStem(*name);
        std::optional<TScanName> scan;
        std::size_t index = 0;
        TFound found = TFound::None;
        // The whole stem first: a card numbered "SV-2" takes SV-2.jpg as its front.
        if (m_index.Find(stem, index) == TFound::Card)
            scan = TScanName{stem, TScanSide::Front}, found = TFound::Card;
        else if ((scan = ParseScanStem(stem)))
            found = m_index.Find(scan->Number, index);
        if (!scan) scan = TScanName{stem, TScanSide::Front};
        if (found == TFound::Several) return Refuse(path, kNumberTwice);

        TScanCard* card = nullptr;
        if (found == TFound::Card) {
            auto [it, added] = m_matched.try_emplace(index);
            card = &it->second;
            if (added) {
                card->CardIndex = index;
                card->Number = m_cards[index].Number;
                card->Title = m_cards[index].Title;
                card->Front.Current = m_cards[index].FrontImageFileName;
                card->Back.Current = m_cards[index].BackImageFileName;
            }
        } else {
            card = &m_unmatched[scan->Number];
            card->Number = scan->Number;
        }
        TScanSideFile& side = scan->Side == TScanSide::Front ? card->Front : card->Back;
        if (side.File) return Refuse(path, kSideTwice);
        side.File = TScanFile{path, *name};
    }

    TScanPlan Finish() {
        for (auto& [index, card] : m_matched) {
            Decide(card, true);
            m_plan.Cards.push_back(std::move(card));
        }
        std::vector<TScanCard> unmatched;
        for (auto& [number, card] : m_unmatched) unmatched.push_back(std::move(card));
        std::stable_sort(unmatched.begin(), unmatched.end(),
                         [](const TScanCard& a, const TScanCard& b) {
                             return NaturalCompare(a.Number, b.Number) < 0;
                         });
        for (TScanCard& card : unmatched) {
            Decide(card, m_plan.Options.Create);
            if (card.Front.File || card.Back.File) m_plan.NewCards.push_back(std::move(card));
        }
        std::stable_sort(m_plan.Refused.begin(), m_plan.Refused.end(),
                         [](const TScanRefusal& a, const TScanRefusal& b) {
                             return NaturalCompare(a.File.filename().native(),
                                                   b.File.filename().native()) < 0;
                         });
        return std::move(m_plan);
    }

private:
    void Refuse(const fs::path& path, std::string reason) {
        m_plan.Refused.push_back({path, std::move(reason)});
    }

    // Whether each side takes its scan, and the checks of a drop for those that do.
    void Decide(TScanCard& card, bool made) {
        for (TScanSideFile* side : {&card.Front, &card.Back}) {
            // Only a scan that would be stored is checked: one left aside never reaches the disk.
            if (!side->File || !made || (!side->Current.empty() && !m_plan.Options.Replace))
                continue;
            const std::string& name = side->File->Name;
            const char* refusal = nullptr;
            const bool own =
                !side->Current.empty() && AsciiUpper(name) == AsciiUpper(side->Current);
            const std::string thumbnail =
                AsciiUpper(ReplaceExtension(name, kSmallThumbnailExtension));
            if (CheckImageName(m_imageFolder, name, side->Current) == TNameCheck::Taken)
                refusal = kNameTaken;
            else if (!own && m_cardPictures.count(AsciiUpper(name)))
                refusal = kNameOfOtherCard;
            else if (m_thumbnails.count(thumbnail))
                refusal = kSameThumbnails;
            if (refusal) {
                Refuse(side->File->Path, refusal);
                side->File.reset();
                continue;
            }
            side->Taken = true;
            m_thumbnails.insert(thumbnail);
        }
    }

    const TCardInfos& m_cards;
    fs::path m_imageFolder;
    TNumberIndex m_index;
    TScanPlan m_plan;
    std::set<std::string> m_cardPictures;  // every picture name of the cards, upper-cased
    std::set<std::string> m_thumbnails;    // the small thumbnails of the taken scans
    std::map<std::size_t, TScanCard> m_matched;
    std::map<std::string, TScanCard> m_unmatched;
};

}  // namespace

std::vector<TScanFile> TScanPlan::TakenFiles() const {
    std::vector<TScanFile> files;
    for (const auto* list : {&Cards, &NewCards})
        for (const TScanCard& card : *list)
            for (const TScanSideFile* side : {&card.Front, &card.Back})
                if (side->Taken) files.push_back(*side->File);
    return files;
}

TScanPlan PlanScans(const TCardInfos& cards, const fs::path& imageFolder,
                    const fs::path& scanFolder, TScanOptions options) {
    TPlanner planner(cards, imageFolder, options);
    for (const fs::path& file : ListFiles(scanFolder)) planner.Add(file);
    return planner.Finish();
}

TCardInfos ApplyScanPlan(TCardInfos cards, const TScanPlan& plan) {
    for (const TScanCard& scan : plan.Cards) {
        TCardInfo& card = cards.at(*scan.CardIndex);
        if (scan.Front.Taken) card.FrontImageFileName = scan.Front.File->Name;
        if (scan.Back.Taken) card.BackImageFileName = scan.Back.File->Name;
    }
    for (const TScanCard& scan : plan.NewCards) {
        if (!scan.Front.Taken && !scan.Back.Taken) continue;
        TCardInfo card;
        ClearCardInfo(card);
        card.Number = scan.Number;
        if (scan.Front.Taken) card.FrontImageFileName = scan.Front.File->Name;
        if (scan.Back.Taken) card.BackImageFileName = scan.Back.File->Name;
        cards.push_back(std::move(card));
    }
    return cards;
}
