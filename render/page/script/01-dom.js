// DOM helpers: an element by id, and a new element with attributes and children.
const $ = (id) => document.getElementById(id);

function element(tag, attributes, ...children) {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(attributes || {})) e.setAttribute(k, v);
  for (const c of children) e.append(c);
  return e;
}
