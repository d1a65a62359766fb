// The converted object as three.js objects, from the arrays the converter
// hands over (the same arrays its glb holds: positions and normals
// right-handed, per surface its triangles, lines and points, each surface's
// material as glTF states it), for the 3D view. The converter's pictures
// (render/, for the gallery) frame and light the object the same way:
// frame() and litScene() are what they follow.
import {
  AmbientLight, Box3, BufferAttribute, BufferGeometry, Color, DirectionalLight, DoubleSide,
  FrontSide, Group, LineBasicMaterial, LineSegments, LinearSRGBColorSpace, Mesh,
  MeshStandardMaterial, Points, PointsMaterial, Scene, Sphere, Vector3,
} from 'three';

export const background = 0x20242a;

// The scene's background and lights, the same for the view and the pictures.
export function litScene() {
  const scene = new Scene();
  scene.background = new Color(background);
  scene.add(new AmbientLight(0xffffff, 0.9));
  const key = new DirectionalLight(0xffffff, 2.2);
  key.position.set(3, 5, 4);
  scene.add(key);
  const fill = new DirectionalLight(0xffffff, 0.8);
  fill.position.set(-4, -2, -3);
  scene.add(fill);
  return scene;
}

// Places `camera` to see all of `object` (or the unit sphere when there is
// nothing) from the front, right and above, `margin` times as far as the
// object's bounding sphere needs; returns the point it looks at.
export function frame(camera, object, margin = 1.25) {
  const box = object ? new Box3().setFromObject(object) : new Box3();
  const sphere = box.isEmpty() ? new Sphere(new Vector3(), 1) : box.getBoundingSphere(new Sphere());
  const radius = Math.max(sphere.radius, 1e-6);
  const distance = radius / Math.sin((camera.fov * Math.PI) / 360);
  const direction = new Vector3(0.9, 0.6, 1.2).normalize();
  camera.position.copy(sphere.center).addScaledVector(direction, distance * margin);
  camera.near = distance / 1000;
  camera.far = distance * 100;
  camera.lookAt(sphere.center);
  camera.updateProjectionMatrix();
  return sphere.center;
}

function materialFor(m, kind) {
  const common = { transparent: m.blend, opacity: m.colour[3], depthWrite: !m.blend };
  let material;
  if (kind === 'triangles') {
    material = new MeshStandardMaterial({
      ...common, metalness: m.metallic, roughness: m.roughness, side: m.doubleSided ? DoubleSide : FrontSide,
    });
  } else if (kind === 'lines') {
    material = new LineBasicMaterial(common);
  } else {
    material = new PointsMaterial({ ...common, size: 2, sizeAttenuation: false });
  }
  // The factors are linear light, as glTF's base colour is.
  material.color.setRGB(m.colour[0], m.colour[1], m.colour[2], LinearSRGBColorSpace);
  return material;
}

// A group of one three.js object per part; the position and normal
// attributes are shared, so that each is uploaded once.
export function objectFromView(view) {
  const group = new Group();
  const triangleVertices = view.triangleVertices;
  const all = new BufferAttribute(view.positions, 3);
  const trianglePositions = triangleVertices * 3 === view.positions.length ? all
    : new BufferAttribute(view.positions.subarray(0, triangleVertices * 3), 3);
  const normals = triangleVertices ? new BufferAttribute(view.normals, 3) : null;
  for (const part of view.parts) {
    const geometry = new BufferGeometry();
    if (part.kind === 'triangles') {
      geometry.setAttribute('position', trianglePositions);
      geometry.setAttribute('normal', normals);
    } else {
      geometry.setAttribute('position', all);
    }
    geometry.setIndex(new BufferAttribute(part.indices, 1));
    const material = materialFor(view.materials[part.surface], part.kind);
    const Kind = part.kind === 'triangles' ? Mesh : part.kind === 'lines' ? LineSegments : Points;
    group.add(new Kind(geometry, material));
  }
  return group;
}

export function disposeObject(object) {
  object.traverse((o) => {
    if (o.geometry) o.geometry.dispose();
    if (o.material) [].concat(o.material).forEach((m) => m.dispose());
  });
}
