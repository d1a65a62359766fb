// The converted object as three.js objects, for the 3D view. They are made
// from the arrays the converter hands over, the same arrays its glb holds:
// positions and normals right-handed, per surface its triangles, lines and
// points, each surface's material as glTF states it. The view is lit and
// framed by the converter's own setup (viewSetup), so that it looks as the
// gallery's pictures do.
import {
  AmbientLight, Box3, BufferAttribute, BufferGeometry, Color, DirectionalLight, DoubleSide,
  FrontSide, Group, LineBasicMaterial, LineSegments, LinearSRGBColorSpace, Mesh,
  MeshStandardMaterial, Points, PointsMaterial, Scene, Sphere, Vector3,
} from 'three';

export const background = 0x20242a;

// The scene with its background, unlit until light() is called.
export function emptyScene() {
  const scene = new Scene();
  scene.background = new Color(background);
  return scene;
}

// Adds the setup's white lights to `scene`: the ambient level and the
// directional lights, each shining from its direction.
export function light(scene, setup) {
  scene.add(new AmbientLight(0xffffff, setup.ambient));
  for (const { from, intensity } of setup.lights) {
    const directional = new DirectionalLight(0xffffff, intensity);
    directional.position.set(...from);
    scene.add(directional);
  }
}

// The camera's field of view and the direction it looks from.
let cameraFrom = new Vector3(1, 1, 1);
export function setCamera(camera, setup) {
  camera.fov = setup.fieldOfView;
  cameraFrom = new Vector3(...setup.cameraFrom).normalize();
}

// Places `camera` to see all of `object` (or the unit sphere when there is
// nothing) from the setup's direction, `margin` times as far as the
// object's bounding sphere needs. Returns the point it looks at.
export function frame(camera, object, margin = 1.25) {
  const box = object ? new Box3().setFromObject(object) : new Box3();
  const sphere = box.isEmpty() ? new Sphere(new Vector3(), 1) : box.getBoundingSphere(new Sphere());
  const radius = Math.max(sphere.radius, 1e-6);
  const distance = radius / Math.sin((camera.fov * Math.PI) / 360);
  camera.position.copy(sphere.center).addScaledVector(cameraFrom, distance * margin);
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
