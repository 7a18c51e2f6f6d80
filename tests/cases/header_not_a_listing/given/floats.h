static const float halves[] = {
.5f, .25f, .125f, .0625f,
};
