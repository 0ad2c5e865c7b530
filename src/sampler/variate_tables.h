#pragma once
// The published single-precision tables of the exponential and normal
// routines, kept apart so their bit patterns can be checked.
namespace mixora::variate_tables {

// Standard exponential: q[k] = sum over i = 1 .. k+1 of (ln 2)^i / i!.
inline constexpr float kExpQ[8] = {0.6931472f, 0.9333737f, 0.9888778f, 0.9984959f,
                            0.9998293f, 0.9999833f, 0.9999986f, .9999999f};

// Standard normal, 32 intervals: interval bounds a, tail increments d (the
// first five are never read), acceptance bounds t and slopes h.
inline constexpr float kNormA[32] = {
    0.0f,       3.917609E-2f, 7.841241E-2f, 0.11777f,   0.1573107f, 0.1970991f, 0.2372021f,
    0.2776904f, 0.3186394f,   0.36013f,     0.4022501f, 0.4450965f, 0.4887764f, 0.5334097f,
    0.5791322f, 0.626099f,    0.6744898f,   0.7245144f, 0.7764218f, 0.8305109f, 0.8871466f,
    0.9467818f, 1.00999f,     1.077516f,    1.150349f,  1.229859f,  1.318011f,  1.417797f,
    1.534121f,  1.67594f,     1.862732f,    2.153875f};
inline constexpr float kNormD[31] = {
    0.0f,       0.0f,       0.0f,       0.0f,       0.0f,       0.2636843f, 0.2425085f, 0.2255674f,
    0.2116342f, 0.1999243f, 0.1899108f, 0.1812252f, 0.1736014f, 0.1668419f, 0.1607967f, 0.1553497f,
    0.1504094f, 0.1459026f, 0.14177f,   0.1379632f, 0.1344418f, 0.1311722f, 0.128126f,  0.1252791f,
    0.1226109f, 0.1201036f, 0.1177417f, 0.1155119f, 0.1134023f, 0.1114027f, 0.1095039f};
inline constexpr float kNormT[31] = {
    7.673828E-4f, 2.30687E-3f,  3.860618E-3f, 5.438454E-3f, 7.0507E-3f,   8.708396E-3f,
    1.042357E-2f, 1.220953E-2f, 1.408125E-2f, 1.605579E-2f, 1.81529E-2f,  2.039573E-2f,
    2.281177E-2f, 2.543407E-2f, 2.830296E-2f, 3.146822E-2f, 3.499233E-2f, 3.895483E-2f,
    4.345878E-2f, 4.864035E-2f, 5.468334E-2f, 6.184222E-2f, 7.047983E-2f, 8.113195E-2f,
    9.462444E-2f, 0.1123001f,   0.136498f,    0.1716886f,   0.2276241f,   0.330498f,
    0.5847031f};
inline constexpr float kNormH[31] = {
    3.920617E-2f, 3.932705E-2f, 3.951E-2f,    3.975703E-2f, 4.007093E-2f, 4.045533E-2f,
    4.091481E-2f, 4.145507E-2f, 4.208311E-2f, 4.280748E-2f, 4.363863E-2f, 4.458932E-2f,
    4.567523E-2f, 4.691571E-2f, 4.833487E-2f, 4.996298E-2f, 5.183859E-2f, 5.401138E-2f,
    5.654656E-2f, 5.95313E-2f,  6.308489E-2f, 6.737503E-2f, 7.264544E-2f, 7.926471E-2f,
    8.781922E-2f, 9.930398E-2f, 0.11556f,     0.1404344f,   0.1836142f,   0.2790016f,
    0.7010474f};

}  // namespace mixora::variate_tables
