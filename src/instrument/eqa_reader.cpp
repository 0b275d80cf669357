#include "instrument/eqa_reader.hpp"
