#include "Deserializer.h"

Deserializer::Deserializer() : digits{}, cursor(digits), pixel(), colorCount(0) {}
