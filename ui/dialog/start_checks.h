// What the start button decides before a job runs: the refusals, the controls a job locks and
// the settings read from the controls.
#pragma once

#include "engine/address_job.h"
#include "ui/dialog/control_ids.h"

#include <array>
#include <optional>
#include <string>

namespace trelvane {

/// The dialog's controls as plain values, read and switched through a view's toolkit; every
/// call runs on the dialog's thread.
class IDialogControls
{
public:
    virtual ~IDialogControls() = default;
    /// Whether the check box or radio button with a template id is checked.
    virtual bool IsChecked(int id) const = 0;
    /// The text of the edit box with a template id.
    virtual std::u16string Text(int id) const = 0;
    /// Enables or disables the control with a template id.
    virtual void Enable(int id, bool enable) = 0;
};

/// The controls that a running job locks, in the order they are switched.
inline constexpr std::array<int, 21> inputControls = {
    IDC_SORT_ASC,         IDC_SORT_DESC,       IDC_SUFFIX_NONE,
    IDC_SUFFIX_DELETE,    IDC_DELETE_SUFFIXES, IDC_SUFFIX_KEEP,
    IDC_KEEP_SUFFIXES,    IDC_USE_TEST,        IDC_TEST_INTERVAL,
    IDC_TEST_ADDRESS,     IDC_USE_EXCLUSION,   IDC_EXCLUSION_PATH,
    IDC_BROWSE_EXCLUSION, IDC_MERGE_OUTPUT,    IDC_SPLIT_OUTPUT,
    IDC_MAX_LINES,        IDC_OUTPUT_PATH,     IDC_BROWSE_OUTPUT,
    IDC_ADD_FILES,        IDC_REMOVE_SELECTED, IDOK};

/// Why a start is refused: the message to show and the control that then gets the focus.
struct Refusal
{
    std::u16string text;
    int focusId;
};

/// The first reason not to start a job with inputCount input files, in the order the checks
/// are made; nothing when the job may start.
std::optional<Refusal> StartRefusal(const IDialogControls& controls, std::size_t inputCount);

/// Enables or disables the 21 inputControls, in their order.
void EnableControls(IDialogControls& controls, bool enable);

/// Starts a job unless a check refuses: disables the input controls, collects both settings
/// blocks and starts the job with jobSettings; outputSettings wait for the end of processing.
/// A refusal changes nothing and is returned for the view to show.
std::optional<Refusal> StartFromControls(IDialogControls& controls, std::size_t inputCount,
                                         JobSettings& jobSettings, OutputSettings& outputSettings);

/// Fills both settings blocks from the controls; a field whose option is off keeps what the
/// last start wrote.
void CollectSettings(const IDialogControls& controls, JobSettings& jobSettings,
                     OutputSettings& outputSettings);

} // namespace trelvane
