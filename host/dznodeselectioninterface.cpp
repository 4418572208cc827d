#include "dznodeselectioninterface.h"

DzNodeSelectionInterface::~DzNodeSelectionInterface() = default;
