// At start-up: the unsaved changes that an earlier session of the data
// folder left behind, offered to the user.
#pragma once

class EventDocument;

namespace recovery {

// Asks whether to restore the changes the journal of the loaded folder
// holds; Yes makes them again (the files stay as they are until a save),
// No lets them go. A journal that cannot be used is said so and kept aside;
// the start goes on in every case. true when changes were restored.
bool offer(EventDocument &doc);

} // namespace recovery
