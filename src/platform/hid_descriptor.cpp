#include "platform/hid_descriptor.h"

#include "platform/little_endian.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <limits>
#include <utility>

namespace velkan::platform {

namespace {

// Limits well above any real keyboard's descriptor, low enough that a hostile one cannot make
// us allocate or loop without bound.
constexpr std::uint32_t kMaxReportBytes = 4096; // the report-id byte included
constexpr std::uint32_t kMaxReportBits = kMaxReportBytes * 8;
constexpr std::uint32_t kMaxFieldBits = 32;
constexpr std::size_t kMaxGlobalStackDepth = 16;
constexpr std::size_t kMaxCollectionDepth = 32;
constexpr std::size_t kMaxLocalUsages = 4096;
constexpr std::size_t kMaxCapsPerCollection = 1024;
constexpr std::uint32_t kFirstDataBit = 8; // after the report-id byte

constexpr std::uint8_t kLongItemPrefix = 0xFE;

enum ItemType : std::uint8_t { kItemMain = 0, kItemGlobal = 1, kItemLocal = 2 };

enum MainTag : std::uint8_t {
    kMainInput = 0x8,
    kMainOutput = 0x9,
    kMainCollection = 0xA,
    kMainFeature = 0xB,
    kMainEndCollection = 0xC,
};

enum GlobalTag : std::uint8_t {
    kGlobalUsagePage = 0x0,
    kGlobalLogicalMin = 0x1,
    kGlobalLogicalMax = 0x2,
    kGlobalPhysicalMin = 0x3,
    kGlobalPhysicalMax = 0x4,
    kGlobalUnitExponent = 0x5,
    kGlobalUnit = 0x6,
    kGlobalReportSize = 0x7,
    kGlobalReportId = 0x8,
    kGlobalReportCount = 0x9,
    kGlobalPush = 0xA,
    kGlobalPop = 0xB,
};

enum LocalTag : std::uint8_t {
    kLocalUsage = 0x0,
    kLocalUsageMin = 0x1,
    kLocalUsageMax = 0x2,
};

constexpr std::uint32_t kMainConstant = 1U << 0;
constexpr std::uint32_t kMainVariable = 1U << 1;
constexpr std::uint32_t kMainNullState = 1U << 6;

struct Item {
    std::size_t offset = 0;
    std::uint8_t type = 0;
    std::uint8_t tag = 0;
    std::uint8_t size = 0; // data bytes: 0, 1, 2 or 4
    std::uint32_t udata = 0;
    std::int32_t sdata = 0;
};

struct GlobalState {
    std::uint16_t usagePage = 0;
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
    std::int32_t physicalMin = 0;
    std::int32_t physicalMax = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

// A usage as written: a 4-byte usage carries its own page in the high half, a shorter one takes
// the usage page in force at the main item.
struct RawUsage {
    std::uint32_t value = 0;
    bool extended = false;
};

struct LocalUsageEntry {
    RawUsage min;
    RawUsage max;
    bool isRange = false;
};

struct UsageSpan {
    std::uint16_t page = 0;
    std::uint16_t min = 0;
    std::uint16_t max = 0;
    bool isRange = false;
};

// Two's complement of the given width, for item data and for fields alike.
std::int64_t signExtend(std::uint32_t value, std::uint32_t bits) {
    const std::uint64_t signBit = std::uint64_t{1} << (bits - 1);
    return static_cast<std::int64_t>(value ^ signBit) - static_cast<std::int64_t>(signBit);
}

// The caller has checked that the bits lie inside the report.
std::uint32_t readBits(std::span<const std::uint8_t> report, std::uint32_t bitOffset,
                       std::uint32_t bitSize) {
    const std::size_t first = bitOffset / 8;
    const std::uint32_t shift = bitOffset % 8;
    const std::size_t byteCount = (shift + bitSize + 7) / 8;
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < byteCount; ++i) {
        bits |= static_cast<std::uint64_t>(report[first + i]) << (8 * i);
    }
    const std::uint64_t mask = (std::uint64_t{1} << bitSize) - 1;
    return static_cast<std::uint32_t>((bits >> shift) & mask);
}

bool bitsFit(std::span<const std::uint8_t> report, std::uint64_t bitOffset, std::uint64_t bitSize) {
    return bitOffset + bitSize <= static_cast<std::uint64_t>(report.size()) * 8;
}

bool fieldFits(std::span<const std::uint8_t> report, const HidFieldLayout& layout) {
    return bitsFit(report, layout.bitOffset,
                   static_cast<std::uint64_t>(layout.bitSize) * layout.reportCount);
}

// A field whose logical range goes below zero holds signed numbers of its own width.
std::int64_t fieldValue(std::uint32_t raw, std::uint16_t bitSize, std::int32_t logicalMin) {
    return logicalMin < 0 ? signExtend(raw, bitSize) : raw;
}

std::size_t typeIndex(HidReportType type) {
    return static_cast<std::size_t>(type);
}

bool validType(HidReportType type) {
    return typeIndex(type) < static_cast<std::size_t>(kHidReportTypeCount);
}

std::uint8_t reportIdOf(const HidCollection& collection, std::span<const std::uint8_t> report) {
    return collection.usesReportIds() ? report[0] : 0;
}

// The capabilities of one array field stand next to each other and share its layout.
std::size_t fieldEnd(const std::vector<HidButtonCaps>& caps, std::size_t first) {
    std::size_t end = first + 1;
    while (caps[first].isArray && end < caps.size() && caps[end].isArray &&
           caps[end].reportId == caps[first].reportId &&
           caps[end].layout.bitOffset == caps[first].layout.bitOffset) {
        ++end;
    }
    return end;
}

// Finds the value capability of the report's id that holds the usage and reads its raw bits.
std::uint32_t findValue(const HidCollection& collection, HidReportType type,
                        std::uint16_t usagePage, std::uint16_t usage,
                        std::span<const std::uint8_t> report, const HidValueCaps*& found,
                        std::uint32_t& raw) {
    if (!validType(type)) {
        return kHidStatusInvalidReportType;
    }
    if (report.empty()) {
        return kHidStatusInvalidReportLength;
    }
    const std::uint8_t reportId = reportIdOf(collection, report);
    bool usageFound = false;
    for (const HidValueCaps& cap : collection.valueCaps(type)) {
        if (cap.usagePage != usagePage || usage < cap.usageMin || usage > cap.usageMax) {
            continue;
        }
        usageFound = true;
        const std::uint32_t element = std::uint32_t{usage} - cap.usageMin;
        if (cap.reportId != reportId || element >= cap.layout.reportCount) {
            continue;
        }
        const std::uint64_t bitOffset =
            cap.layout.bitOffset + std::uint64_t{element} * cap.layout.bitSize;
        if (!bitsFit(report, bitOffset, cap.layout.bitSize)) {
            return kHidStatusInvalidReportLength;
        }
        found = &cap;
        raw = readBits(report, static_cast<std::uint32_t>(bitOffset), cap.layout.bitSize);
        return kHidStatusSuccess;
    }
    return usageFound ? kHidStatusIncompatibleReportId : kHidStatusUsageNotFound;
}

} // namespace

class HidDescriptorParser {
public:
    explicit HidDescriptorParser(std::span<const std::uint8_t> descriptor) : bytes_(descriptor) {
        for (auto& perType : nextBit_) {
            perType.fill(kFirstDataBit);
        }
    }

    std::optional<std::vector<HidCollection>> run(HidDescriptorError* error);

private:
    struct CollectionReports {
        std::array<std::bitset<256>, kHidReportTypeCount> ids;
        std::size_t capCount = 0;
    };

    bool fail(std::size_t offset, std::string message);
    bool readItem(std::size_t& pos, Item& item);
    bool dispatch(const Item& item);
    bool onMain(const Item& item);
    bool onGlobal(const Item& item);
    bool onLocal(const Item& item);
    bool addLocalUsage(std::size_t offset, LocalUsageEntry entry);
    bool resolveUsages(std::size_t offset, std::vector<UsageSpan>& spans);
    bool beginCollection(const Item& item);
    bool addField(HidReportType type, const Item& item);
    bool addVariableCaps(HidReportType type, std::uint32_t flags, const HidFieldLayout& layout,
                         const std::vector<UsageSpan>& spans, std::size_t offset);
    bool addArrayCaps(HidReportType type, const HidFieldLayout& layout,
                      const std::vector<UsageSpan>& spans, std::size_t offset);
    bool reserveCap(std::size_t offset);
    void clearLocals();
    void finish();

    std::span<const std::uint8_t> bytes_;
    HidDescriptorError error_;

    GlobalState global_;
    std::vector<GlobalState> globalStack_;
    std::vector<LocalUsageEntry> locals_;
    std::optional<RawUsage> pendingMin_;
    std::optional<RawUsage> pendingMax_;

    std::vector<HidCollection> collections_;
    std::vector<CollectionReports> reports_; // parallel to collections_
    std::vector<std::uint16_t> linkStack_;   // open collections, innermost last
    std::uint32_t nextLinkCollection_ = 0;
    bool sawReportId_ = false;
    // A report's layout is that of the bytes on the wire, so it is kept per report type and id
    // across the whole descriptor.
    std::array<std::array<std::uint32_t, 256>, kHidReportTypeCount> nextBit_{};
};

bool HidDescriptorParser::fail(std::size_t offset, std::string message) {
    error_.offset = offset;
    error_.message = std::move(message);
    return false;
}

bool HidDescriptorParser::readItem(std::size_t& pos, Item& item) {
    item.offset = pos;
    const std::uint8_t prefix = bytes_[pos];
    if (prefix == kLongItemPrefix) {
        // No long item is defined; skip its data.
        if (!rangeFits(bytes_.size(), pos, 3) ||
            !rangeFits(bytes_.size(), pos + 3, bytes_[pos + 1])) {
            return fail(pos, "truncated long item");
        }
        item.type = 3;
        item.tag = 0xF;
        pos += 3 + std::size_t{bytes_[pos + 1]};
        return true;
    }
    static constexpr std::array<std::uint8_t, 4> kDataSizes{0, 1, 2, 4};
    item.size = kDataSizes[prefix & 0x3U];
    item.type = static_cast<std::uint8_t>((prefix >> 2) & 0x3U);
    item.tag = static_cast<std::uint8_t>(prefix >> 4);
    if (!rangeFits(bytes_.size(), pos + 1, item.size)) {
        return fail(pos, "truncated item");
    }
    item.udata = item.size == 4   ? loadLe32(bytes_, pos + 1)
                 : item.size == 2 ? loadLe16(bytes_, pos + 1)
                 : item.size == 1 ? bytes_[pos + 1]
                                  : 0U;
    item.sdata =
        item.size == 0 ? 0 : static_cast<std::int32_t>(signExtend(item.udata, 8U * item.size));
    pos += 1 + std::size_t{item.size};
    return true;
}

std::optional<std::vector<HidCollection>> HidDescriptorParser::run(HidDescriptorError* error) {
    bool ok = true;
    for (std::size_t pos = 0; ok && pos < bytes_.size();) {
        Item item;
        ok = readItem(pos, item) && dispatch(item);
    }
    if (ok && !linkStack_.empty()) {
        ok = fail(bytes_.size(), "collection not closed at the end of the descriptor");
    }
    if (ok && collections_.empty()) {
        ok = fail(bytes_.size(), "descriptor holds no collection");
    }
    if (!ok) {
        if (error) {
            *error = std::move(error_);
        }
        return std::nullopt;
    }
    finish();
    return std::move(collections_);
}

bool HidDescriptorParser::dispatch(const Item& item) {
    switch (item.type) {
    case kItemMain:
        return onMain(item);
    case kItemGlobal:
        return onGlobal(item);
    case kItemLocal:
        return onLocal(item);
    default:
        return true; // reserved and long items carry nothing we use
    }
}

bool HidDescriptorParser::onGlobal(const Item& item) {
    switch (item.tag) {
    case kGlobalUsagePage:
        if (item.udata > 0xFFFF) {
            return fail(item.offset, "usage page above 0xFFFF");
        }
        global_.usagePage = static_cast<std::uint16_t>(item.udata);
        return true;
    // Many devices write a maximum such as 255 in one byte; when the minimum is not negative the
    // maximum is taken as unsigned, as the kernel's parser does.
    case kGlobalLogicalMin:
        global_.logicalMin = item.sdata;
        return true;
    case kGlobalLogicalMax:
        global_.logicalMax =
            global_.logicalMin < 0 ? item.sdata : static_cast<std::int32_t>(item.udata);
        return true;
    case kGlobalPhysicalMin:
        global_.physicalMin = item.sdata;
        return true;
    case kGlobalPhysicalMax:
        global_.physicalMax =
            global_.physicalMin < 0 ? item.sdata : static_cast<std::int32_t>(item.udata);
        return true;
    case kGlobalUnitExponent:
    case kGlobalUnit:
        return true; // scaling works on physical numbers only
    case kGlobalReportSize:
        global_.reportSize = item.udata;
        return true;
    case kGlobalReportId:
        if (item.udata == 0 || item.udata > 0xFF) {
            return fail(item.offset, "report id must be 1 to 255");
        }
        global_.reportId = static_cast<std::uint8_t>(item.udata);
        sawReportId_ = true;
        return true;
    case kGlobalReportCount:
        global_.reportCount = item.udata;
        return true;
    case kGlobalPush:
        if (globalStack_.size() >= kMaxGlobalStackDepth) {
            return fail(item.offset, "push nested too deep");
        }
        globalStack_.push_back(global_);
        return true;
    case kGlobalPop:
        if (globalStack_.empty()) {
            return fail(item.offset, "pop without push");
        }
        global_ = globalStack_.back();
        globalStack_.pop_back();
        return true;
    default:
        return fail(item.offset, "unknown global item");
    }
}

bool HidDescriptorParser::addLocalUsage(std::size_t offset, LocalUsageEntry entry) {
    if (locals_.size() >= kMaxLocalUsages) {
        return fail(offset, "too many usages before one main item");
    }
    locals_.push_back(entry);
    return true;
}

bool HidDescriptorParser::onLocal(const Item& item) {
    const RawUsage usage{item.udata, item.size == 4};
    switch (item.tag) {
    case kLocalUsage:
        return addLocalUsage(item.offset, {usage, usage, false});
    // A minimum and a maximum make a range in either order; one left without its partner counts
    // as a single usage.
    case kLocalUsageMin:
        if (pendingMax_) {
            const RawUsage max = *pendingMax_;
            pendingMax_.reset();
            return addLocalUsage(item.offset, {usage, max, true});
        }
        if (pendingMin_ && !addLocalUsage(item.offset, {*pendingMin_, *pendingMin_, false})) {
            return false;
        }
        pendingMin_ = usage;
        return true;
    case kLocalUsageMax:
        if (pendingMin_) {
            const RawUsage min = *pendingMin_;
            pendingMin_.reset();
            return addLocalUsage(item.offset, {min, usage, true});
        }
        if (pendingMax_ && !addLocalUsage(item.offset, {*pendingMax_, *pendingMax_, false})) {
            return false;
        }
        pendingMax_ = usage;
        return true;
    default:
        return true; // designators, strings and delimiters do not change the layout
    }
}

bool HidDescriptorParser::resolveUsages(std::size_t offset, std::vector<UsageSpan>& spans) {
    for (const std::optional<RawUsage>& lone : {pendingMin_, pendingMax_}) {
        if (lone && !addLocalUsage(offset, {*lone, *lone, false})) {
            return false;
        }
    }
    pendingMin_.reset();
    pendingMax_.reset();
    spans.clear();
    spans.reserve(locals_.size());
    for (const LocalUsageEntry& entry : locals_) {
        const auto pageOf = [this](const RawUsage& usage) {
            return usage.extended ? static_cast<std::uint16_t>(usage.value >> 16)
                                  : global_.usagePage;
        };
        UsageSpan span;
        span.page = pageOf(entry.min);
        span.min = static_cast<std::uint16_t>(entry.min.value & 0xFFFF);
        span.max = static_cast<std::uint16_t>(entry.max.value & 0xFFFF);
        span.isRange = entry.isRange;
        if (span.max < span.min) {
            return fail(offset, "usage minimum above usage maximum");
        }
        spans.push_back(span);
    }
    return true;
}

void HidDescriptorParser::clearLocals() {
    locals_.clear();
    pendingMin_.reset();
    pendingMax_.reset();
}

bool HidDescriptorParser::onMain(const Item& item) {
    bool ok = true;
    switch (item.tag) {
    case kMainInput:
        ok = addField(HidReportType::input, item);
        break;
    case kMainOutput:
        ok = addField(HidReportType::output, item);
        break;
    case kMainFeature:
        ok = addField(HidReportType::feature, item);
        break;
    case kMainCollection:
        ok = beginCollection(item);
        break;
    case kMainEndCollection:
        if (linkStack_.empty()) {
            return fail(item.offset, "end collection without collection");
        }
        linkStack_.pop_back();
        break;
    default:
        break;
    }
    clearLocals();
    return ok;
}

bool HidDescriptorParser::beginCollection(const Item& item) {
    if (linkStack_.size() >= kMaxCollectionDepth) {
        return fail(item.offset, "collections nested too deep");
    }
    if (!linkStack_.empty()) {
        if (nextLinkCollection_ > std::numeric_limits<std::uint16_t>::max()) {
            return fail(item.offset, "too many collections");
        }
        linkStack_.push_back(static_cast<std::uint16_t>(nextLinkCollection_++));
        return true;
    }
    std::vector<UsageSpan> spans;
    if (!resolveUsages(item.offset, spans)) {
        return false;
    }
    HidCollection& collection = collections_.emplace_back();
    reports_.emplace_back();
    if (!spans.empty()) {
        collection.caps_.usagePage = spans.front().page;
        collection.caps_.usage = spans.front().min;
    }
    linkStack_.push_back(0);
    nextLinkCollection_ = 1;
    return true;
}

bool HidDescriptorParser::reserveCap(std::size_t offset) {
    if (reports_.back().capCount >= kMaxCapsPerCollection) {
        return fail(offset, "too many capabilities in one collection");
    }
    ++reports_.back().capCount;
    return true;
}

bool HidDescriptorParser::addField(HidReportType type, const Item& item) {
    if (linkStack_.empty()) {
        return fail(item.offset, "main item outside any collection");
    }
    const std::uint32_t flags = item.udata;
    const bool constant = (flags & kMainConstant) != 0;
    if (!constant && global_.reportSize > kMaxFieldBits) {
        return fail(item.offset, "report size above 32 bits");
    }
    std::uint32_t& nextBit = nextBit_[typeIndex(type)][global_.reportId];
    const std::uint64_t bits = std::uint64_t{global_.reportSize} * global_.reportCount;
    if (bits > kMaxReportBits - nextBit) {
        return fail(item.offset, "report longer than 4096 bytes");
    }
    CollectionReports& reports = reports_.back();
    reports.ids[typeIndex(type)].set(global_.reportId);
    if (type == HidReportType::input) {
        auto& ids = collections_.back().inputReportIds_;
        if (std::find(ids.begin(), ids.end(), global_.reportId) == ids.end()) {
            ids.push_back(global_.reportId);
        }
    }
    const std::uint32_t bitOffset = nextBit;
    nextBit += static_cast<std::uint32_t>(bits);
    if (constant || bits == 0) {
        return true; // padding: takes room, reports nothing
    }
    // Size and count are both at least 1 and the report is at most 4096 bytes, so both fit.
    const HidFieldLayout layout{bitOffset, static_cast<std::uint16_t>(global_.reportSize),
                                static_cast<std::uint16_t>(global_.reportCount)};
    std::vector<UsageSpan> spans;
    if (!resolveUsages(item.offset, spans)) {
        return false;
    }
    if ((flags & kMainVariable) != 0) {
        return addVariableCaps(type, flags, layout, spans, item.offset);
    }
    return addArrayCaps(type, layout, spans, item.offset);
}

// Each element of a variable field takes the next usage in declaration order, ranges expanded;
// when the usages run out the last one repeats. One capability per usage or range, each covering
// its own elements (the last one also covers the repeats), the way the Windows parser lays out
// value capabilities.
bool HidDescriptorParser::addVariableCaps(HidReportType type, std::uint32_t flags,
                                          const HidFieldLayout& layout,
                                          const std::vector<UsageSpan>& spans, std::size_t offset) {
    const std::vector<UsageSpan> unnamed{UsageSpan{global_.usagePage, 0, 0, false}};
    const std::vector<UsageSpan>& named = spans.empty() ? unnamed : spans;
    const std::uint16_t link = linkStack_.back();
    std::uint32_t element = 0;
    for (std::size_t i = 0; i < named.size() && element < layout.reportCount; ++i) {
        const UsageSpan& span = named[i];
        const std::uint32_t usageCount = std::uint32_t{span.max} - span.min + 1;
        const std::uint32_t left = layout.reportCount - element;
        const std::uint32_t covered = i + 1 == named.size() ? left : std::min(usageCount, left);
        const auto usageMax =
            static_cast<std::uint16_t>(span.min + std::min(usageCount, covered) - 1);
        HidFieldLayout piece = layout;
        piece.bitOffset = layout.bitOffset + element * layout.bitSize;
        piece.reportCount = static_cast<std::uint16_t>(covered);
        element += covered;
        if (!reserveCap(offset)) {
            return false;
        }
        HidCollection& collection = collections_.back();
        if (layout.bitSize == 1) {
            collection.buttonCaps_[typeIndex(type)].push_back(
                HidButtonCaps{span.page, global_.reportId, link, span.isRange, false, span.min,
                              usageMax, global_.logicalMin, global_.logicalMax, piece});
        } else {
            collection.valueCaps_[typeIndex(type)].push_back(
                HidValueCaps{span.page, global_.reportId, link, span.isRange,
                             (flags & kMainNullState) != 0, span.min, usageMax, global_.logicalMin,
                             global_.logicalMax, global_.physicalMin, global_.physicalMax, piece});
        }
    }
    return true;
}

// An array element holds a selector: logicalMin picks the first usage of the list (ranges
// expanded), logicalMin + 1 the next, and so on. Each usage or range becomes one capability over
// the whole field whose logical range is the part of the selectors that maps onto it, so a
// selector always maps to usageMin + (value - logicalMin) of exactly one capability.
bool HidDescriptorParser::addArrayCaps(HidReportType type, const HidFieldLayout& layout,
                                       const std::vector<UsageSpan>& spans, std::size_t offset) {
    std::int64_t selector = global_.logicalMin;
    for (const UsageSpan& span : spans) {
        if (selector > global_.logicalMax) {
            break; // no selector value can reach the remaining usages
        }
        const std::int64_t last =
            std::min<std::int64_t>(selector + span.max - span.min, global_.logicalMax);
        if (!reserveCap(offset)) {
            return false;
        }
        collections_.back().buttonCaps_[typeIndex(type)].push_back(HidButtonCaps{
            span.page, global_.reportId, linkStack_.back(), span.isRange, true, span.min, span.max,
            static_cast<std::int32_t>(selector), static_cast<std::int32_t>(last), layout});
        selector = last + 1;
    }
    return true;
}

void HidDescriptorParser::finish() {
    for (std::size_t c = 0; c < collections_.size(); ++c) {
        HidCollection& collection = collections_[c];
        collection.usesReportIds_ = sawReportId_;
        std::array<std::uint16_t, kHidReportTypeCount> lengths{};
        for (std::size_t t = 0; t < lengths.size(); ++t) {
            std::uint32_t maxBits = 0;
            for (std::size_t id = 0; id < 256; ++id) {
                if (reports_[c].ids[t].test(id)) {
                    maxBits = std::max(maxBits, nextBit_[t][id]);
                }
            }
            lengths[t] = static_cast<std::uint16_t>((maxBits + 7) / 8);
        }
        HidCaps& caps = collection.caps_;
        caps.inputReportByteLength = lengths[typeIndex(HidReportType::input)];
        caps.outputReportByteLength = lengths[typeIndex(HidReportType::output)];
        caps.featureReportByteLength = lengths[typeIndex(HidReportType::feature)];
        const auto count = [](const auto& list) { return static_cast<std::uint16_t>(list.size()); };
        caps.numberInputButtonCaps = count(collection.buttonCaps(HidReportType::input));
        caps.numberInputValueCaps = count(collection.valueCaps(HidReportType::input));
        caps.numberOutputButtonCaps = count(collection.buttonCaps(HidReportType::output));
        caps.numberOutputValueCaps = count(collection.valueCaps(HidReportType::output));
        caps.numberFeatureButtonCaps = count(collection.buttonCaps(HidReportType::feature));
        caps.numberFeatureValueCaps = count(collection.valueCaps(HidReportType::feature));
    }
}

std::optional<std::vector<HidCollection>>
parseReportDescriptor(std::span<const std::uint8_t> descriptor, HidDescriptorError* error) {
    return HidDescriptorParser(descriptor).run(error);
}

const std::vector<HidButtonCaps>& HidCollection::buttonCaps(HidReportType type) const {
    static const std::vector<HidButtonCaps> kNone;
    return validType(type) ? buttonCaps_[typeIndex(type)] : kNone;
}

const std::vector<HidValueCaps>& HidCollection::valueCaps(HidReportType type) const {
    static const std::vector<HidValueCaps> kNone;
    return validType(type) ? valueCaps_[typeIndex(type)] : kNone;
}

bool HidCollection::ownsInputReportId(std::uint8_t reportId) const {
    if (!usesReportIds_) {
        return reportId == 0;
    }
    return std::find(inputReportIds_.begin(), inputReportIds_.end(), reportId) !=
           inputReportIds_.end();
}

std::uint32_t HidCollection::maxUsageListLength(HidReportType type, std::uint16_t usagePage) const {
    std::uint32_t length = 0;
    for (const HidButtonCaps& cap : buttonCaps(type)) {
        if (cap.usagePage == usagePage) {
            length += cap.layout.reportCount;
        }
    }
    return length;
}

std::uint32_t HidCollection::getUsages(HidReportType type, std::uint16_t usagePage,
                                       std::span<const std::uint8_t> report,
                                       std::span<std::uint16_t> usages,
                                       std::uint32_t& count) const {
    count = 0;
    if (!validType(type)) {
        return kHidStatusInvalidReportType;
    }
    if (report.empty()) {
        return kHidStatusInvalidReportLength;
    }
    const std::uint8_t reportId = reportIdOf(*this, report);
    const std::vector<HidButtonCaps>& caps = buttonCaps(type);
    bool pageFound = false;
    bool idFound = false;
    for (const HidButtonCaps& cap : caps) {
        if (cap.usagePage != usagePage) {
            continue;
        }
        pageFound = true;
        if (cap.reportId == reportId) {
            idFound = true;
            if (!fieldFits(report, cap.layout)) {
                return kHidStatusInvalidReportLength;
            }
        }
    }
    if (!pageFound) {
        return kHidStatusUsageNotFound;
    }
    if (!idFound) {
        return kHidStatusIncompatibleReportId;
    }

    const auto add = [&](std::uint16_t usage) {
        if (count == usages.size()) {
            return false;
        }
        usages[count++] = usage;
        return true;
    };
    for (std::size_t begin = 0; begin < caps.size();) {
        const std::size_t end = fieldEnd(caps, begin);
        const auto group = std::span(caps).subspan(begin, end - begin);
        begin = end;
        const HidButtonCaps& field = group.front();
        const bool wanted = field.reportId == reportId &&
                            std::any_of(group.begin(), group.end(), [usagePage](const auto& cap) {
                                return cap.usagePage == usagePage;
                            });
        if (!wanted) {
            continue;
        }
        for (std::uint32_t element = 0; element < field.layout.reportCount; ++element) {
            const std::uint32_t raw =
                readBits(report, field.layout.bitOffset + element * field.layout.bitSize,
                         field.layout.bitSize);
            if (!field.isArray) {
                const std::uint32_t usage =
                    std::min<std::uint32_t>(field.usageMin + element, field.usageMax);
                if (raw != 0 && usage != 0 && !add(static_cast<std::uint16_t>(usage))) {
                    return kHidStatusBufferTooSmall;
                }
                continue;
            }
            const std::int64_t value = fieldValue(raw, field.layout.bitSize, field.logicalMin);
            const auto holder = std::find_if(group.begin(), group.end(), [&](const auto& cap) {
                return cap.usagePage == usagePage && value >= cap.logicalMin &&
                       value <= cap.logicalMax;
            });
            if (holder == group.end()) {
                continue;
            }
            const std::int64_t usage = holder->usageMin + (value - holder->logicalMin);
            if (usage != 0 && usage <= holder->usageMax &&
                !add(static_cast<std::uint16_t>(usage))) {
                return kHidStatusBufferTooSmall;
            }
        }
    }
    return kHidStatusSuccess;
}

std::uint32_t HidCollection::getUsageValue(HidReportType type, std::uint16_t usagePage,
                                           std::uint16_t usage,
                                           std::span<const std::uint8_t> report,
                                           std::uint32_t& value) const {
    value = 0;
    const HidValueCaps* cap = nullptr;
    return findValue(*this, type, usagePage, usage, report, cap, value);
}

std::uint32_t HidCollection::getScaledUsageValue(HidReportType type, std::uint16_t usagePage,
                                                 std::uint16_t usage,
                                                 std::span<const std::uint8_t> report,
                                                 std::int32_t& value) const {
    value = 0;
    const HidValueCaps* cap = nullptr;
    std::uint32_t raw = 0;
    const std::uint32_t status = findValue(*this, type, usagePage, usage, report, cap, raw);
    if (status != kHidStatusSuccess) {
        return status;
    }
    if (cap->logicalMax <= cap->logicalMin) {
        return kHidStatusBadLogPhyValues;
    }
    const std::int64_t logical = fieldValue(raw, cap->layout.bitSize, cap->logicalMin);
    if (logical < cap->logicalMin || logical > cap->logicalMax) {
        return cap->hasNull ? kHidStatusNull : kHidStatusValueOutOfRange;
    }
    // A device that gives no physical range means its logical one.
    const bool noPhysical = cap->physicalMin == 0 && cap->physicalMax == 0;
    const std::int64_t physicalMin = noPhysical ? cap->logicalMin : cap->physicalMin;
    const std::int64_t physicalMax = noPhysical ? cap->logicalMax : cap->physicalMax;
    if (physicalMax <= physicalMin) {
        return kHidStatusBadLogPhyValues;
    }
    // Both differences are below 2^32, so their product fits 64 unsigned bits.
    const auto fromLogicalMin = static_cast<std::uint64_t>(logical - cap->logicalMin);
    const auto physicalSpan = static_cast<std::uint64_t>(physicalMax - physicalMin);
    const auto logicalSpan =
        static_cast<std::uint64_t>(std::int64_t{cap->logicalMax} - cap->logicalMin);
    const std::uint64_t offset = fromLogicalMin * physicalSpan / logicalSpan;
    value = static_cast<std::int32_t>(physicalMin + static_cast<std::int64_t>(offset));
    return kHidStatusSuccess;
}

} // namespace velkan::platform
