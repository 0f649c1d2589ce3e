#include "tools/ecrsim/register_model.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {
constexpr std::array<uint32_t, 5> kSpeeds = {9600, 19200, 38400, 57600, 115200};
constexpr std::size_t kRecord = 24;
constexpr std::size_t kRecordsPerPage = 10;
constexpr int kGeneratedLimit = 100000;
}  // namespace

uint32_t BcdValue(const uint8_t* bytes, int count)
{
    uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value * 100 + (bytes[i] >> 4) * 10 + (bytes[i] & 0x0F);
    return value;
}

RegisterModel::RegisterModel(RegisterConfig config)
    : config_(std::move(config)), rng_(config_.seed), nakLeft_(config_.nakCount)
{
}

std::vector<RegisterModel::Answered> RegisterModel::Feed(const uint8_t* bytes, std::size_t count,
                                                         uint32_t lineSpeed)
{
    std::vector<Answered> replies;
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        if (b == ibus::kFrameStart) {
            frame_.assign(1, b);
            continue;
        }
        if (frame_.empty())
            continue;  // noise or the trailer byte between frames
        if (frame_.size() < ibus::kFrameSize - 1) {
            if (b < 0x80)
                frame_.clear();
            else
                frame_.push_back(b);
            continue;
        }
        if (b != ibus::kFrameEnd) {
            frame_.clear();
            continue;
        }
        frame_.push_back(b);
        if (OnTrace)
            OnTrace(true, frame_);
        ibus::Frame frame;
        std::copy(frame_.begin(), frame_.end(), frame.begin());
        frame_.clear();
        const ibus::Unpacked unpacked = ibus::UnpackFrame(frame);
        if (!unpacked.checksumOk)
            continue;  // a damaged request goes unanswered; the program asks again
        for (Reply& r : Answer(unpacked.payload, lineSpeed)) {
            if (OnTrace)
                OnTrace(false, r);
            replies.push_back({step_, std::move(r)});
        }
    }
    return replies;
}

bool RegisterModel::TakeFault(const std::string& step, const std::string& configured, int* count)
{
    if (configured.empty())
        return false;
    const bool match = configured == step || (configured == "page" && step.rfind("page", 0) == 0);
    if (!match)
        return false;
    if (count) {
        if (*count == 0)
            return false;
        if (*count > 0)
            --*count;
    }
    return true;
}

std::vector<RegisterModel::Reply> RegisterModel::Answer(const ibus::Payload& request,
                                                        uint32_t lineSpeed)
{
    if (config_.silent || vanished_)
        return {};
    const uint8_t command = request[0];
    const uint16_t param = static_cast<uint16_t>(request[1] | (request[2] << 8));
    const uint8_t* data = request.data() + 3;

    if (command == 14 && param == 1) {
        step_ = "connect";
        if (TakeFault(step_, config_.vanishStep, nullptr)) {
            vanished_ = true;
            return {};
        }
        if (TakeFault("connect", config_.silentStep, nullptr))
            return {};
        if (TakeFault("connect", config_.nakStep, &nakLeft_))
            return {{ibus::kReplyNegative}};
        if (!config_.speeds.count(lineSpeed))
            return config_.reply55 ? std::vector<Reply>{{ibus::kReply55}} : std::vector<Reply>{};
        connectedSpeed_ = request[13] < kSpeeds.size() ? request[13] : 0;
        return {{ibus::kReplyPositive}};
    }
    // After the handshake the register listens only at the speed it was told.
    if (connectedSpeed_ < 0 || lineSpeed != kSpeeds[static_cast<std::size_t>(connectedSpeed_)])
        return {};
    if (command == 14 && param == 2) {
        step_ = "disconnect";
        if (TakeFault(step_, config_.vanishStep, nullptr)) {
            vanished_ = true;
            return {};
        }
        ++disconnects_;
        return {{ibus::kReplyPositive}};
    }

    std::string step;
    if (command == 14 && param == 16)
        step = "info";
    else if (command == 0 && param == 0)
        step = "status";
    else if (command == 14 && (param == 32 || param == 48 || param == 49 || param == 50))
        step = (data[0] == 0 && data[1] == 0) ? "request"
                                              : "page" + std::to_string(data[0] | (data[1] << 8));
    else
        return {{ibus::kReplyNegative}};
    step_ = step;

    if (TakeFault(step, config_.vanishStep, nullptr)) {
        vanished_ = true;
        return {};
    }
    if (TakeFault(step, config_.silentStep, nullptr))
        return {};
    if (TakeFault(step, config_.nakStep, &nakLeft_))
        return {{ibus::kReplyNegative}};

    ibus::Payload reply{};
    reply[0] = request[0];
    reply[1] = request[1];
    reply[2] = request[2];
    uint8_t* out = reply.data() + 3;
    if (step == "info") {
        const char name[] = "ECRSIM 1.0";
        std::memcpy(out + 16, name, sizeof name - 1);
    } else if (step == "status") {
        out[15] = config_.fiscalMemoryClosed;
    } else if (step == "request") {
        if (config_.refuseReports) {
            out[0] = 1;
        } else {
            summary_ = param == 48 || param == 50;
            const int rangeType = data[2];
            uint32_t from, to;
            bool toEnd;
            if (rangeType == 0) {
                from = BcdValue(data + 3, 2);
                toEnd = data[5] == 0xFF && data[6] == 0xFF;
                to = toEnd ? from : BcdValue(data + 5, 2);
            } else {
                from = BcdValue(data + 3, 3);
                toEnd = data[6] == 0xFF && data[7] == 0xFF && data[8] == 0xFF;
                to = toEnd ? from : BcdValue(data + 6, 3);
            }
            report_ = ReportLines(summary_, rangeType, from, to, toEnd);
            char heading[64];
            std::snprintf(heading, sizeof heading, "%s %u-%u", rangeType == 0 ? "Z" : "DATE",
                          from, to);
            headingLine1_ = summary_ ? "SUMMARY REPORT" : "DETAIL REPORT";
            headingLine2_ = heading;
        }
    } else {
        const std::vector<uint8_t> page = PageData(data[0] | (data[1] << 8));
        std::copy(page.begin(), page.end(), out);
    }
    return {FrameReply(reply)};
}

std::vector<uint8_t> RegisterModel::PageData(int page) const
{
    std::vector<uint8_t> block(ibus::kDataBlockSize, 0);
    auto putRecord = [&block](std::size_t k, const std::string& text) {
        std::memcpy(block.data() + kRecord * k, text.data(), std::min(text.size(), kRecord));
    };
    const std::size_t total = report_.size();
    const std::size_t first = static_cast<std::size_t>(std::max(page - 1, 0)) * kRecordsPerPage;
    if (!summary_) {
        for (std::size_t k = 0; k < kRecordsPerPage && first + k < total; ++k)
            putRecord(k, report_[first + k]);
        if (first + kRecordsPerPage >= total)
            block[254] = block[255] = 0xA5;
        return block;
    }
    if (first < total) {
        for (std::size_t k = 0; k < kRecordsPerPage && first + k < total; ++k)
            putRecord(k, report_[first + k]);
        return block;
    }
    putRecord(2, headingLine1_);
    putRecord(3, headingLine2_);
    block[254] = block[255] = 0xA5;
    return block;
}

RegisterModel::Reply RegisterModel::FrameReply(ibus::Payload reply)
{
    ibus::StoreChecksum(reply);
    if (config_.corruptRate > 0 &&
        std::uniform_real_distribution<double>(0, 1)(rng_) < config_.corruptRate)
        reply[259] ^= 0x01;
    const ibus::Frame frame = ibus::PackFrame(reply);
    return {frame.begin(), frame.end()};
}

std::vector<std::string> RegisterModel::ReportLines(bool summary, int rangeType, uint32_t from,
                                                    uint32_t to, bool toEnd) const
{
    if (!config_.lines.empty())
        return config_.lines;
    std::vector<std::string> lines;
    char text[32];
    if (config_.generatedLines >= 0) {
        for (int i = 0; i < std::min(config_.generatedLines, kGeneratedLimit * 10); ++i) {
            std::snprintf(text, sizeof text, "%s LINE %06d", summary ? "SUM" : "DET", i + 1);
            lines.emplace_back(text);
        }
        return lines;
    }
    // Z numbers count one by one; dates (DDMMYY) day by day.
    auto dayNumber = [](uint32_t ddmmyy) -> long long {
        std::tm t {};
        t.tm_mday = static_cast<int>(ddmmyy / 10000);
        t.tm_mon = static_cast<int>(ddmmyy / 100 % 100) - 1;
        const int yy = static_cast<int>(ddmmyy % 100);
        t.tm_year = (yy < 30 ? 2000 + yy : 1900 + yy) - 1900;
        t.tm_hour = 12;
        return static_cast<long long>(timegm(&t) / 86400);
    };
    const long long first = rangeType == 0 ? from : dayNumber(from);
    long long last = rangeType == 0 ? to : dayNumber(to);
    if (toEnd)
        last = first + 4;
    if (last < first)
        return lines;
    const uint32_t count = static_cast<uint32_t>(std::min<long long>(last - first + 1, kGeneratedLimit));
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t n = static_cast<uint32_t>(first + i);
        if (rangeType == 0) {
            std::snprintf(text, sizeof text, "Z REPORT NO. %04u", n % 10000);
        } else {
            const std::time_t seconds = static_cast<std::time_t>(first + i) * 86400;
            std::tm day {};
            gmtime_r(&seconds, &day);
            std::snprintf(text, sizeof text, "DAY %02d-%02d-%04d", day.tm_mday, day.tm_mon + 1,
                          day.tm_year + 1900);
        }
        lines.emplace_back(text);
        if (!summary) {
            std::snprintf(text, sizeof text, "  SALES %10u.%02u", (n * 137u) % 100000u, n % 100u);
            lines.emplace_back(text);
            std::snprintf(text, sizeof text, "  TAX   %10u.%02u", (n * 23u) % 10000u, (n * 7u) % 100u);
            lines.emplace_back(text);
        }
    }
    if (summary) {
        std::snprintf(text, sizeof text, "TOTAL %u REPORTS", count);
        lines.emplace_back(text);
    }
    return lines;
}
