#include "platform/hid_descriptor.h"

#include "platform/little_endian.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <utility>

namespace velkan::platform {

namespace {

enum class HidReportType : std::uint8_t { input = 0, output = 1, feature = 2 };
constexpr std::size_t kHidReportTypeCount = 3;

// Limits well above any real keyboard's descriptor, low enough that a hostile one cannot make
// us allocate or loop without bound.
constexpr std::uint32_t kMaxReportBytes = 4096; // the report-id byte included
constexpr std::uint32_t kMaxReportBits = kMaxReportBytes * 8;
constexpr std::uint32_t kMaxFieldBits = 32;
constexpr std::size_t kMaxGlobalStackDepth = 16;
constexpr std::size_t kMaxCollectionDepth = 32;
constexpr std::size_t kMaxLocalUsages = 4096;
constexpr std::size_t kMaxFieldsPerCollection = 1024;
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
};

struct UsageSpan {
    std::uint16_t page = 0;
    std::uint16_t min = 0;
    std::uint16_t max = 0;
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

bool fieldFits(std::span<const std::uint8_t> report, const HidButtonField& field) {
    const std::uint64_t end =
        field.bitOffset + static_cast<std::uint64_t>(field.bitSize) * field.reportCount;
    return end <= static_cast<std::uint64_t>(report.size()) * 8;
}

// A field whose logical range goes below zero holds signed numbers of its own width.
std::int64_t fieldValue(std::uint32_t raw, std::uint16_t bitSize, std::int32_t logicalMin) {
    return logicalMin < 0 ? signExtend(raw, bitSize) : raw;
}

std::size_t typeIndex(HidReportType type) {
    return static_cast<std::size_t>(type);
}

// The pieces of one array field stand next to each other and share its offset.
std::size_t fieldEnd(const std::vector<HidButtonField>& fields, std::size_t first) {
    std::size_t end = first + 1;
    while (fields[first].isArray && end < fields.size() && fields[end].isArray &&
           fields[end].reportId == fields[first].reportId &&
           fields[end].bitOffset == fields[first].bitOffset) {
        ++end;
    }
    return end;
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
        std::size_t fieldCount = 0;
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
    bool addBitField(const HidButtonField& field, const std::vector<UsageSpan>& spans,
                     std::size_t offset);
    bool addArrayField(const HidButtonField& field, const std::vector<UsageSpan>& spans,
                       std::size_t offset);
    bool reserveField(std::size_t offset);
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
    std::size_t depth_ = 0;                  // collections open now
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
    if (ok && depth_ != 0) {
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
    case kGlobalPhysicalMax:
    case kGlobalUnitExponent:
    case kGlobalUnit:
        return true; // only values use these, and the program reads no values
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
        return addLocalUsage(item.offset, {usage, usage});
    // A minimum and a maximum make a range in either order; one left without its partner counts
    // as a single usage.
    case kLocalUsageMin:
        if (pendingMax_) {
            const RawUsage max = *pendingMax_;
            pendingMax_.reset();
            return addLocalUsage(item.offset, {usage, max});
        }
        if (pendingMin_ && !addLocalUsage(item.offset, {*pendingMin_, *pendingMin_})) {
            return false;
        }
        pendingMin_ = usage;
        return true;
    case kLocalUsageMax:
        if (pendingMin_) {
            const RawUsage min = *pendingMin_;
            pendingMin_.reset();
            return addLocalUsage(item.offset, {min, usage});
        }
        if (pendingMax_ && !addLocalUsage(item.offset, {*pendingMax_, *pendingMax_})) {
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
        if (lone && !addLocalUsage(offset, {*lone, *lone})) {
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
        if (depth_ == 0) {
            return fail(item.offset, "end collection without collection");
        }
        --depth_;
        break;
    default:
        break;
    }
    clearLocals();
    return ok;
}

bool HidDescriptorParser::beginCollection(const Item& item) {
    if (depth_ >= kMaxCollectionDepth) {
        return fail(item.offset, "collections nested too deep");
    }
    if (depth_++ != 0) {
        return true;
    }
    std::vector<UsageSpan> spans;
    if (!resolveUsages(item.offset, spans)) {
        return false;
    }
    HidCollection& collection = collections_.emplace_back();
    reports_.emplace_back();
    if (!spans.empty()) {
        collection.info_.usagePage = spans.front().page;
        collection.info_.usage = spans.front().min;
    }
    return true;
}

bool HidDescriptorParser::reserveField(std::size_t offset) {
    if (reports_.back().fieldCount >= kMaxFieldsPerCollection) {
        return fail(offset, "too many button fields in one collection");
    }
    ++reports_.back().fieldCount;
    return true;
}

bool HidDescriptorParser::addField(HidReportType type, const Item& item) {
    if (depth_ == 0) {
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
    std::vector<UsageSpan> spans;
    if (!resolveUsages(item.offset, spans)) {
        return false;
    }
    if (type != HidReportType::input) {
        return true; // the program reads buttons of input reports only
    }
    // Size and count are both at least 1 and the report is at most 4096 bytes, so both fit.
    HidButtonField field;
    field.reportId = global_.reportId;
    field.logicalMin = global_.logicalMin;
    field.logicalMax = global_.logicalMax;
    field.bitOffset = bitOffset;
    field.bitSize = static_cast<std::uint16_t>(global_.reportSize);
    field.reportCount = static_cast<std::uint16_t>(global_.reportCount);
    if ((flags & kMainVariable) != 0) {
        return field.bitSize != 1 || addBitField(field, spans, item.offset); // values: unread
    }
    return addArrayField(field, spans, item.offset);
}

// Each bit of a variable field takes the next usage in declaration order, ranges expanded; when
// the usages run out the last one repeats. One piece per usage or range, each covering its own
// bits (the last one also covers the repeats).
bool HidDescriptorParser::addBitField(const HidButtonField& field,
                                      const std::vector<UsageSpan>& spans, std::size_t offset) {
    const std::vector<UsageSpan> unnamed{UsageSpan{global_.usagePage, 0, 0}};
    const std::vector<UsageSpan>& named = spans.empty() ? unnamed : spans;
    std::uint32_t element = 0;
    for (std::size_t i = 0; i < named.size() && element < field.reportCount; ++i) {
        const UsageSpan& span = named[i];
        const std::uint32_t usageCount = std::uint32_t{span.max} - span.min + 1;
        const std::uint32_t left = field.reportCount - element;
        const std::uint32_t covered = i + 1 == named.size() ? left : std::min(usageCount, left);
        if (!reserveField(offset)) {
            return false;
        }
        HidButtonField piece = field;
        piece.usagePage = span.page;
        piece.usageMin = span.min;
        piece.usageMax = static_cast<std::uint16_t>(span.min + std::min(usageCount, covered) - 1);
        piece.bitOffset = field.bitOffset + element;
        piece.reportCount = static_cast<std::uint16_t>(covered);
        element += covered;
        collections_.back().inputButtons_.push_back(piece);
    }
    return true;
}

// An array element holds a selector: logicalMin picks the first usage of the list (ranges
// expanded), logicalMin + 1 the next, and so on. Each usage or range becomes one piece over the
// whole field whose logical range is the part of the selectors that maps onto it, so a selector
// always maps to usageMin + (value - logicalMin) of exactly one piece.
bool HidDescriptorParser::addArrayField(const HidButtonField& field,
                                        const std::vector<UsageSpan>& spans, std::size_t offset) {
    std::int64_t selector = field.logicalMin;
    for (const UsageSpan& span : spans) {
        if (selector > field.logicalMax) {
            break; // no selector value can reach the remaining usages
        }
        const std::int64_t last =
            std::min<std::int64_t>(selector + span.max - span.min, field.logicalMax);
        if (!reserveField(offset)) {
            return false;
        }
        HidButtonField piece = field;
        piece.usagePage = span.page;
        piece.isArray = true;
        piece.usageMin = span.min;
        piece.usageMax = span.max;
        piece.logicalMin = static_cast<std::int32_t>(selector);
        piece.logicalMax = static_cast<std::int32_t>(last);
        collections_.back().inputButtons_.push_back(piece);
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
        collection.info_.inputReportLength = lengths[typeIndex(HidReportType::input)];
        collection.info_.outputReportLength = lengths[typeIndex(HidReportType::output)];
        collection.info_.featureReportLength = lengths[typeIndex(HidReportType::feature)];
    }
}

std::optional<std::vector<HidCollection>>
parseReportDescriptor(std::span<const std::uint8_t> descriptor, HidDescriptorError* error) {
    return HidDescriptorParser(descriptor).run(error);
}

bool HidCollection::ownsInputReportId(std::uint8_t reportId) const {
    if (!usesReportIds_) {
        return reportId == 0;
    }
    return std::find(inputReportIds_.begin(), inputReportIds_.end(), reportId) !=
           inputReportIds_.end();
}

std::vector<HidUsage> HidCollection::buttonsSet(std::span<const std::uint8_t> report) const {
    std::vector<HidUsage> on;
    if (report.empty()) {
        return on;
    }
    const std::uint8_t reportId = usesReportIds_ ? report[0] : 0;
    const auto ofReport = [reportId](const HidButtonField& field) {
        return field.reportId == reportId;
    };
    // A report too short for one of its fields reads as nothing on, never as half a report.
    const bool fits = std::all_of(inputButtons_.begin(), inputButtons_.end(), [&](const auto& f) {
        return !ofReport(f) || fieldFits(report, f);
    });
    if (!fits) {
        return on;
    }
    const auto& fields = inputButtons_;
    for (std::size_t begin = 0; begin < fields.size();) {
        const std::size_t end = fieldEnd(fields, begin);
        const auto group = std::span(fields).subspan(begin, end - begin);
        begin = end;
        const HidButtonField& field = group.front();
        if (!ofReport(field)) {
            continue;
        }
        for (std::uint32_t element = 0; element < field.reportCount; ++element) {
            const std::uint32_t raw =
                readBits(report, field.bitOffset + element * field.bitSize, field.bitSize);
            if (!field.isArray) {
                const std::uint32_t usage =
                    std::min<std::uint32_t>(field.usageMin + element, field.usageMax);
                if (raw != 0 && usage != 0) {
                    on.push_back({field.usagePage, static_cast<std::uint16_t>(usage)});
                }
                continue;
            }
            const std::int64_t value = fieldValue(raw, field.bitSize, field.logicalMin);
            const auto holder = std::find_if(group.begin(), group.end(), [&](const auto& piece) {
                return value >= piece.logicalMin && value <= piece.logicalMax;
            });
            if (holder == group.end()) {
                continue;
            }
            const std::int64_t usage = holder->usageMin + (value - holder->logicalMin);
            if (usage != 0 && usage <= holder->usageMax) {
                on.push_back({holder->usagePage, static_cast<std::uint16_t>(usage)});
            }
        }
    }
    return on;
}

} // namespace velkan::platform
