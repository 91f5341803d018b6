#include "twain/sane/SaneDevice.h"

#include <sane/saneopts.h>

#include <cmath>
#include <cstring>

#include "image/DibHeader.h"
#include "twain/sane/ScanDib.h"

namespace sanedsm {
namespace {
// An option of the open device, found by name; descriptors are looked up afresh each time,
// since setting one option may change the others.
struct TOption {
    SANE_Int Index = -1;
    const SANE_Option_Descriptor* Descriptor = nullptr;
    explicit operator bool() const { return Descriptor != nullptr; }
    bool Active() const { return Descriptor && SANE_OPTION_IS_ACTIVE(Descriptor->cap); }
    bool Settable() const { return Active() && SANE_OPTION_IS_SETTABLE(Descriptor->cap); }
    bool IsNumber() const {
        return Descriptor && (Descriptor->type == SANE_TYPE_INT || Descriptor->type == SANE_TYPE_FIXED);
    }
};

TOption FindOption(SANE_Handle handle, const char* name) {
    SANE_Int count = 0;
    if (sane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD) return {};
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, i);
        if (d && d->name && std::strcmp(d->name, name) == 0) return {i, d};
    }
    return {};
}

double ToNumber(const TOption& option, SANE_Word word) {
    return option.Descriptor->type == SANE_TYPE_FIXED ? SANE_UNFIX(word) : double(word);
}
SANE_Word ToWord(const TOption& option, double value) {
    return option.Descriptor->type == SANE_TYPE_FIXED ? SANE_FIX(value) : SANE_Word(std::lround(value));
}

// The first value of a number option (an array option gives its first element).
bool GetNumber(SANE_Handle handle, const TOption& option, double& value) {
    if (!option.Active() || !option.IsNumber() || option.Descriptor->size < SANE_Int(sizeof(SANE_Word))) return false;
    std::vector<SANE_Word> words(std::size_t(option.Descriptor->size) / sizeof(SANE_Word) + 1);
    if (sane_control_option(handle, option.Index, SANE_ACTION_GET_VALUE, words.data(), nullptr) != SANE_STATUS_GOOD)
        return false;
    value = ToNumber(option, words[0]);
    return true;
}

bool GetString(SANE_Handle handle, const TOption& option, std::string& value) {
    if (!option.Active() || option.Descriptor->type != SANE_TYPE_STRING || option.Descriptor->size <= 0) return false;
    std::vector<char> text(std::size_t(option.Descriptor->size) + 1, '\0');
    if (sane_control_option(handle, option.Index, SANE_ACTION_GET_VALUE, text.data(), nullptr) != SANE_STATUS_GOOD)
        return false;
    value = text.data();
    return true;
}

TNumberConstraint ConstraintOf(const TOption& option) {
    TNumberConstraint constraint;
    const SANE_Option_Descriptor& d = *option.Descriptor;
    if (d.constraint_type == SANE_CONSTRAINT_RANGE && d.constraint.range) {
        constraint.Min = ToNumber(option, d.constraint.range->min);
        constraint.Max = ToNumber(option, d.constraint.range->max);
        constraint.Step = ToNumber(option, d.constraint.range->quant);
    } else if (d.constraint_type == SANE_CONSTRAINT_WORD_LIST && d.constraint.word_list) {
        for (SANE_Int i = 1; i <= d.constraint.word_list[0]; ++i)
            constraint.List.push_back(ToNumber(option, d.constraint.word_list[i]));
    } else {
        constraint.Min = -1e9;
        constraint.Max = 1e9;
    }
    return constraint;
}

std::vector<std::string> StringList(const TOption& option) {
    std::vector<std::string> values;
    if (option.Descriptor->constraint_type == SANE_CONSTRAINT_STRING_LIST && option.Descriptor->constraint.string_list)
        for (const SANE_String_Const* s = option.Descriptor->constraint.string_list; *s; ++s) values.emplace_back(*s);
    return values;
}

// The bit depths the device offers, whatever mode it is in now.
std::vector<int> Depths(SANE_Handle handle) {
    std::vector<int> depths;
    const TOption depth = FindOption(handle, SANE_NAME_BIT_DEPTH);
    if (!depth.IsNumber()) return depths;
    const TNumberConstraint constraint = ConstraintOf(depth);
    for (double d : constraint.List) depths.push_back(int(d));
    if (constraint.IsRange())
        for (int d : {1, 8, 16})
            if (d >= constraint.Min && d <= constraint.Max) depths.push_back(d);
    return depths;
}

SANE_Status SetNumber(SANE_Handle handle, const char* name, double value) {
    const TOption option = FindOption(handle, name);
    if (!option.Settable() || !option.IsNumber()) return SANE_STATUS_GOOD;
    const int count = std::max<int>(1, option.Descriptor->size / int(sizeof(SANE_Word)));
    std::vector<SANE_Word> words(std::size_t(count), ToWord(option, ConstraintOf(option).Nearest(value)));
    return sane_control_option(handle, option.Index, SANE_ACTION_SET_VALUE, words.data(), nullptr);
}

SANE_Status SetString(SANE_Handle handle, const char* name, const std::string& value) {
    const TOption option = FindOption(handle, name);
    if (!option.Settable() || option.Descriptor->type != SANE_TYPE_STRING) return SANE_STATUS_GOOD;
    std::vector<char> text(std::max<std::size_t>(std::size_t(option.Descriptor->size), value.size() + 1), '\0');
    std::memcpy(text.data(), value.c_str(), value.size());
    return sane_control_option(handle, option.Index, SANE_ACTION_SET_VALUE, text.data(), nullptr);
}

bool FrameFormatOf(SANE_Frame frame, TFrameFormat& format) {
    switch (frame) {
        case SANE_FRAME_GRAY: format = TFrameFormat::Gray; return true;
        case SANE_FRAME_RGB: format = TFrameFormat::Rgb; return true;
        case SANE_FRAME_RED: format = TFrameFormat::Red; return true;
        case SANE_FRAME_GREEN: format = TFrameFormat::Green; return true;
        case SANE_FRAME_BLUE: format = TFrameFormat::Blue; return true;
        default: return false;
    }
}
}  // namespace

SANE_Status TSaneDevice::Open(std::shared_ptr<TSaneUse> use, const std::string& name,
                              std::unique_ptr<TSaneDevice>& device) {
    if (!use || !use->Ready()) return use ? use->Status() : SANE_STATUS_INVAL;
    const auto lock = LockSane();
    SANE_Handle handle = nullptr;
    const SANE_Status status = sane_open(name.c_str(), &handle);
    if (status != SANE_STATUS_GOOD) return status;
    device.reset(new TSaneDevice(std::move(use), handle));
    return SANE_STATUS_GOOD;
}

TSaneDevice::~TSaneDevice() {
    const auto lock = LockSane();
    if (batchOpen_) sane_cancel(handle_);
    sane_close(handle_);
}

TDeviceOptions TSaneDevice::ReadOptions() {
    const auto lock = LockSane();
    TDeviceOptions options;
    if (const TOption mode = FindOption(handle_, SANE_NAME_SCAN_MODE); mode.Active()) {
        options.Modes = ModeChoices(StringList(mode), Depths(handle_));
        std::string current;
        if (GetString(handle_, mode, current)) options.Kind = KindOfMode(current);
        double depth = 0;
        if (options.Kind == TPixelKind::Grey && GetNumber(handle_, FindOption(handle_, SANE_NAME_BIT_DEPTH), depth) &&
            depth == 1 && options.Modes.count(TPixelKind::LineArt))
            options.Kind = TPixelKind::LineArt;
    }
    if (const TOption resolution = FindOption(handle_, SANE_NAME_SCAN_RESOLUTION); resolution.IsNumber()) {
        double value = 0;
        if (GetNumber(handle_, resolution, value)) {
            options.HasResolution = true;
            options.Resolutions = ConstraintOf(resolution);
            options.Resolution = int(std::lround(value));
        }
    }
    const TOption corners[4] = {FindOption(handle_, SANE_NAME_SCAN_TL_X), FindOption(handle_, SANE_NAME_SCAN_TL_Y),
                                FindOption(handle_, SANE_NAME_SCAN_BR_X), FindOption(handle_, SANE_NAME_SCAN_BR_Y)};
    double values[4];
    bool all = true;
    for (int i = 0; i < 4; ++i) all = all && GetNumber(handle_, corners[i], values[i]);
    if (all) {
        options.HasArea = true;
        options.Area = {values[0], values[1], values[2], values[3]};
        const TNumberConstraint x = ConstraintOf(corners[0]), y = ConstraintOf(corners[1]);
        const TNumberConstraint right = ConstraintOf(corners[2]), bottom = ConstraintOf(corners[3]);
        auto low = [](const TNumberConstraint& c) { return c.IsRange() ? c.Min : c.List.front(); };
        auto high = [](const TNumberConstraint& c) { return c.IsRange() ? c.Max : c.List.back(); };
        options.Limits = {low(x), low(y), high(right), high(bottom)};
        options.AreaUnit = corners[0].Descriptor->unit == SANE_UNIT_PIXEL ? "px" : "mm";
    }
    if (const TOption source = FindOption(handle_, SANE_NAME_SCAN_SOURCE); source.Active()) {
        options.Sources = StringList(source);
        GetString(handle_, source, options.Source);
    }
    return options;
}

SANE_Status TSaneDevice::Apply(const TScanSettings& settings) {
    const auto lock = LockSane();
    SANE_Status status = SANE_STATUS_GOOD;
    auto step = [&](SANE_Status next) {
        if (status == SANE_STATUS_GOOD) status = next;
    };
    if (!settings.Source.empty()) step(SetString(handle_, SANE_NAME_SCAN_SOURCE, settings.Source));
    // The mode first: it decides which depths and resolutions the device allows.
    if (const TOption mode = FindOption(handle_, SANE_NAME_SCAN_MODE); mode.Active()) {
        const auto choices = ModeChoices(StringList(mode), Depths(handle_));
        const auto choice = choices.find(settings.Kind);
        if (choice == choices.end()) return SANE_STATUS_INVAL;
        step(SetString(handle_, SANE_NAME_SCAN_MODE, choice->second.Mode));
        if (choice->second.Depth) step(SetNumber(handle_, SANE_NAME_BIT_DEPTH, choice->second.Depth));
    }
    if (settings.Resolution > 0) step(SetNumber(handle_, SANE_NAME_SCAN_RESOLUTION, settings.Resolution));
    if (settings.HasArea) {
        step(SetNumber(handle_, SANE_NAME_SCAN_TL_X, settings.Area.Left));
        step(SetNumber(handle_, SANE_NAME_SCAN_TL_Y, settings.Area.Top));
        step(SetNumber(handle_, SANE_NAME_SCAN_BR_X, settings.Area.Right));
        step(SetNumber(handle_, SANE_NAME_SCAN_BR_Y, settings.Area.Bottom));
    }
    return status;
}

TScanResult TSaneDevice::Scan(const std::atomic<bool>& cancelled, TProgress& progress, bool feeder) {
    TScanResult result;
    std::vector<TFrame> frames;
    std::vector<SANE_Byte> buffer(64 * 1024);
    double dpi = 0;
    {
        double value = 0;
        if (GetNumber(handle_, FindOption(handle_, SANE_NAME_SCAN_RESOLUTION), value)) dpi = value;
    }
    progress.Done = 0;
    progress.Expected = 0;
    bool last = false;
    while (!last) {
        if (cancelled) {
            result.Status = SANE_STATUS_CANCELLED;
            break;
        }
        batchOpen_ = true;
        result.Status = sane_start(handle_);
        if (result.Status != SANE_STATUS_GOOD) break;
        SANE_Parameters parameters{};
        result.Status = sane_get_parameters(handle_, &parameters);
        if (result.Status != SANE_STATUS_GOOD) break;
        TFrameFormat format;
        if (!FrameFormatOf(parameters.format, format)) {
            result.Status = SANE_STATUS_UNSUPPORTED;
            result.Problem = "The scanner sends its pictures in a form this program cannot read.";
            break;
        }
        frames.emplace_back(TFrameLayout{format, parameters.depth, parameters.bytes_per_line,
                                         parameters.pixels_per_line, parameters.lines});
        if (parameters.lines > 0) {
            const int passes = format == TFrameFormat::Gray || format == TFrameFormat::Rgb ? 1 : 3;
            progress.Expected = (long long)parameters.lines * parameters.bytes_per_line * passes;
        }
        for (;;) {
            SANE_Int length = 0;
            result.Status = sane_read(handle_, buffer.data(), SANE_Int(buffer.size()), &length);
            if (result.Status != SANE_STATUS_GOOD) break;
            frames.back().Append(buffer.data(), std::size_t(std::max<SANE_Int>(length, 0)));
            progress.Done += length;
        }
        if (result.Status != SANE_STATUS_EOF) break;
        result.Status = SANE_STATUS_GOOD;
        last = parameters.last_frame != SANE_FALSE;
    }
    // A cancelled flag that came while sane_read was returning data still cancels.
    if (result.Status == SANE_STATUS_GOOD && cancelled) result.Status = SANE_STATUS_CANCELLED;
    if (result.Status == SANE_STATUS_GOOD) {
        try {
            result.Dib = BuildPackedDib(frames, dpi);
            if (result.Dib.empty()) {
                result.Status = SANE_STATUS_IO_ERROR;
                result.Problem = "The scanner delivered an empty picture.";
            } else {
                const auto header = ReadFields(result.Dib.data(), InfoHeaderSize, InfoHeaderWidths);
                result.Width = std::int32_t(header[InfoWidth]);
                result.Height = std::int32_t(header[InfoHeight]);
            }
        } catch (const EBadScan& bad) {
            result.Status = SANE_STATUS_IO_ERROR;
            result.Problem = std::string("The scan could not be read: ") + bad.what() + ".";
        }
    }
    if (result.Status != SANE_STATUS_GOOD || !feeder) {
        sane_cancel(handle_);
        batchOpen_ = false;
    }
    return result;
}

void TSaneDevice::Cancel() { sane_cancel(handle_); }

void TSaneDevice::EndBatch() {
    const auto lock = LockSane();
    if (batchOpen_) sane_cancel(handle_);
    batchOpen_ = false;
}

}  // namespace sanedsm
