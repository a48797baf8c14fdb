namespace gw::timehist {}
