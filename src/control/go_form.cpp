#include "control/go_form.h"

#include "control/commands.h"
#include "control/request_steps.h"
#include "platform/conversions.h"
#include "platform/path.h"
#include "platform/runtime_error.h"
#include "trap/error_trap.h"

namespace tessarel {

std::optional<Request> ReadGoForm(const GoForm& form, MessageBox& message_box) {
    return Guarded(message_box, [&]() -> std::optional<Request> {
        ErrorTrap trap(message_box);
        if (const auto refusal = CheckNamesGiven(form.OpenText(), form.SaveText())) {
            message_box.Show(*refusal);
            return std::nullopt;
        }
        // A name as a user types it: one without a folder is in the folder the window was started
        // in, never the program's own.
        const std::string folder = form.Folder();
        auto named = [&](const std::string& text) {
            const std::string name = TrimBlanks(text);
            return folder.empty() || name.empty() ? name : AbsoluteIn(folder, name);
        };
        const std::string source = named(form.OpenText());
        const std::string destination = named(form.SaveText());
        if (!form.SplitSelected()) {
            return JoinRequest{source, destination};
        }
        SplitRequest request;
        request.source = source;
        request.destination = destination;
        trap.Must([&] {
            request.piece_size = form.ExactSelected() ? TextToLength(form.ExactText())
                                                      : ApproximateBytes(form.ApproxText());
        });
        return request;
    });
}

bool RunRequest(const Request& request, ProgressDisplay& display, MessageBox& message_box) {
    if (const auto* split = std::get_if<SplitRequest>(&request)) {
        return RunSplit(*split, display, message_box);
    }
    return RunJoin(std::get<JoinRequest>(request), display, message_box);
}

}  // namespace tessarel
