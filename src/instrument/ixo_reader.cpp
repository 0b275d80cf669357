#include "instrument/ixo_reader.hpp"
