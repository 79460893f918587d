/// \file
/// The module's release mark.
#pragma once

/// Carries the release mark; does nothing.
void Vorlan_Release_980204();
