#include "batch/BatchSteps.h"

#include <charconv>
#include <ostream>
#include <sstream>

#include "custom/CustomFilter.h"
#include "filters/FilterCommands.h"
#include "custom/FilterFile.h"
#include "geometry/GeometryCommands.h"
#include "filters/Statistics.h"

namespace {
// "a,b,c" as exactly `count` integers each within [low, high].
std::vector<std::int64_t> Integers(const std::string& name, const std::string& args, std::size_t count,
                                   std::int64_t low, std::int64_t high) {
    std::vector<std::int64_t> values;
    const char* p = args.data();
    const char* end = p + args.size();
    while (true) {
        std::int64_t value = 0;
        const auto [next, error] = std::from_chars(p, end, value);
        if (error != std::errc() || value < low || value > high)
            throw EBatchUsage(name + ": each value must be a whole number from " + std::to_string(low) + " to " +
                              std::to_string(high));
        values.push_back(value);
        p = next;
        if (p == end) break;
        if (*p != ',') throw EBatchUsage(name + ": values are separated by commas");
        ++p;
    }
    if (values.size() != count)
        throw EBatchUsage(name + ": expects " + std::to_string(count) + " values, got " +
                          std::to_string(values.size()));
    return values;
}

FilterContext Context(TBatchSession& session) {
    FilterContext context{session.Picture, session.Selection};
    if (session.Seed) context.NoiseSeed = [seed = *session.Seed] { return seed; };
    context.Progress = session.Progress;
    return context;
}

// A step given with arguments: its name, what the arguments look like, and how to build it.
struct TArgumentStep {
    const char* Name;
    const char* Help;
    TBatchStep (*Build)(const std::string& args);
};

constexpr std::int64_t MaxBatchSide = 30000;

const TArgumentStep ArgumentSteps[] = {
    {"select", "select=L,T,R,B   select as a drag from (L,T) to (R,B) would",
     [](const std::string& args) -> TBatchStep {
         const auto v = Integers("select", args, 4, INT32_MIN, INT32_MAX);
         const TRect drag{std::int32_t(v[0]), std::int32_t(v[1]), std::int32_t(v[2]), std::int32_t(v[3])};
         return [drag](TBatchSession& s) {
             // The window's rule: too thin, or dragged up or left, selects all.
             s.Selection = SelectionAfterDrag(s.Picture, drag);
             s.Selection.Normalize();
         };
     }},
    {"feather", "feather=R,G,B    fade the selection towards the colour",
     [](const std::string& args) -> TBatchStep {
         const auto v = Integers("feather", args, 3, 0, 255);
         const PackedColor color = PackColor(std::uint8_t(v[0]), std::uint8_t(v[1]), std::uint8_t(v[2]));
         return [color](TBatchSession& s) {
             FilterContext context = Context(s);
             RunFeather(context, color);
         };
     }},
    {"resize", "resize=W,H[,plain] scale the picture (1..30000), smoothing enlargements unless plain",
     [](const std::string& args) -> TBatchStep {
         Interpolation smoothing = Interpolation::Pseudo;
         std::string sizes = args;
         if (const auto comma = args.rfind(','); comma != std::string::npos && args.substr(comma + 1) == "plain") {
             smoothing = Interpolation::None;
             sizes = args.substr(0, comma);
         }
         const auto v = Integers("resize", sizes, 2, 1, MaxBatchSide);
         return [w = int(v[0]), h = int(v[1]), smoothing](TBatchSession& s) {
             ResizeCommand(s.Picture, s.Selection, w, h, smoothing, {s.Picture.Width(), s.Picture.Height()},
                           s.Progress);
         };
     }},
    {"custom", "custom=RED;GREEN;BLUE  apply a formula of R1, G1 and B1 to each channel (spaces removed)",
     [](const std::string& args) -> TBatchStep {
         std::vector<std::string> parts(1);
         for (const char c : args) c == ';' ? void(parts.emplace_back()) : void(parts.back() += c);
         if (parts.size() != 3) throw EBatchUsage("custom: expects three formulas separated by semicolons");
         const TFilterFormulas formulas = RemoveSpaces(TFilterFormulas{parts[0], parts[1], parts[2]});
         // A formula that does not parse fails when the step runs, with the window's message.
         return [formulas](TBatchSession& s) { CheckedCustomFilter(s.Picture, s.Selection, formulas, s.Progress); };
     }},
    {"filter-file", "filter-file=PATH apply the three formulas of a filter file (.fil), as custom does",
     [](const std::string& path) -> TBatchStep {
         return [path](TBatchSession& s) {
             CheckedCustomFilter(s.Picture, s.Selection, RemoveSpaces(LoadFilterFile(path)), s.Progress);
         };
     }},
};

// Steps without arguments that are not filter commands.
struct TPlainStep {
    const char* Name;
    const char* Help;
    void (*Run)(TBatchSession&);
};

const TPlainStep PlainSteps[] = {
    {"select-all", "select-all       select the whole picture", [](TBatchSession& s) { s.SelectAll(); }},
    {"statistics", "statistics       print the statistics report",
     [](TBatchSession& s) {
         std::string report = StatisticsReport(s.Picture, s.FileName);
         for (std::size_t at; (at = report.find("\r\n")) != std::string::npos;) report.replace(at, 2, "\n");
         if (s.Out) *s.Out << report << "\n";
     }},
    {"crop", "crop             keep only the selection",
     [](TBatchSession& s) { CropCommand(s.Picture, s.Selection, s.Progress); }},
    {"rotate-left", "rotate-left      a quarter turn counter-clockwise",
     [](TBatchSession& s) { RotateCommand(s.Picture, s.Selection, TurnDirection::Left, s.Progress); }},
    {"rotate-right", "rotate-right     a quarter turn clockwise",
     [](TBatchSession& s) { RotateCommand(s.Picture, s.Selection, TurnDirection::Right, s.Progress); }},
};
}  // namespace

TBatchStep ParseStep(const std::string& text) {
    const auto equals = text.find('=');
    const std::string name = text.substr(0, equals);
    if (equals != std::string::npos) {
        for (const TArgumentStep& step : ArgumentSteps)
            if (name == step.Name) return step.Build(text.substr(equals + 1));
        throw EBatchUsage("unknown step: " + text);
    }
    for (const TPlainStep& step : PlainSteps)
        if (name == step.Name) return step.Run;
    for (const TArgumentStep& step : ArgumentSteps)
        if (name == step.Name) throw EBatchUsage(name + " needs arguments: " + step.Help);
    const FilterCommand* command = FindFilterCommand(name);
    if (!command || command->Kind != CommandKind::Steps) throw EBatchUsage("unknown step: " + text);
    return [command](TBatchSession& s) {
        FilterContext context = Context(s);
        RunFilterCommand(*command, context);
    };
}

std::string StepHelp() {
    std::ostringstream help;
    for (const TPlainStep& step : PlainSteps) help << "  " << step.Help << "\n";
    for (const TArgumentStep& step : ArgumentSteps) help << "  " << step.Help << "\n";
    help << "  Filters menu commands:\n";
    for (const FilterCommand& command : FilterCommands())
        if (command.Kind == CommandKind::Steps) help << "    " << command.Name << "\n";
    return help.str();
}
