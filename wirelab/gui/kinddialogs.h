#pragma once
// The creation dialog of each kind, keyed by kind: the widget half of a
// kind's description (the rest is its KindDescriptor in the core).

#include "core/endpoints/endpointkind.h"

class CreationDialog;
class QWidget;

// A new, hidden dialog for the kind, a child of parent; nullptr for a kind
// that the user does not create (an accepted connection).
CreationDialog *makeCreationDialog(EndpointKind kind, QWidget *parent);
